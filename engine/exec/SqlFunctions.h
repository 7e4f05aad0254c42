// SQLite functions of the engine itself (beside the tsql_* ones of the types):
//   qm_one(x)                     aggregate: the one value of a scalar subquery; NULL for
//                                 no row, error 512 for more than one
//   qm_next_identity(t, c, seed, increment)
//                                 next IDENTITY value of column c of table t
//   qm_object_id(name)            catalog id of an object, NULL when there is none
//   qm_newid()                    a new uniqueidentifier text
//   qm_isnumeric(x)               ISNUMERIC
#pragma once

#include <cstdint>
#include <map>
#include <string>

struct sqlite3;

namespace quillmere::engine::exec {

struct FunctionState {
    sqlite3* db = nullptr;
    std::uint64_t statementGeneration = 0;  // bumped at every statement
    std::map<std::string, std::pair<std::uint64_t, std::int64_t>> identities;  // table -> generation, last value
    std::int64_t lastIdentity = 0;
    bool hasIdentity = false;
};

void registerEngineFunctions(sqlite3* db, FunctionState* state);

}  // namespace quillmere::engine::exec
