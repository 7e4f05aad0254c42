// Servers other than "(embedded)", reached over ODBC.
#include "tools/sqlcmd/Runner.h"

namespace quillmere::sqlcmd {

std::unique_ptr<Server> openOdbcServer(const Options& options, engine::Message* error) {
    if (error) {
        error->number = 0;
        error->severity = 16;
        error->state = 1;
        error->text = "Sqlcmd: 错误: 本工具目前只能连接内嵌引擎 \"(embedded)\"，无法连接服务器 '" + options.server + "'。";
    }
    return nullptr;
}

}  // namespace quillmere::sqlcmd
