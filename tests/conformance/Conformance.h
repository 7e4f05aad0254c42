// Harness for the conformance cases: a session on a fresh database and a
// compact transcript of everything a batch sends back, so each case is one
// line of batch text and one line of what SQL Server sends for it.
//
// Transcript items, separated by single blanks:
//   [a,b;c,d]   a result set: rows separated by ';', cells by ',', each cell as
//               a client displays it (NULL for null)
//   (n)         a row count the client shows; {n} one sent under NOCOUNT ON
//   E<num>      an error (severity > 10)
//   W<num>      an informational message with a number (e.g. 8153 warnings)
//   P:<text>    PRINT output
#pragma once

#include "engine/Format.h"
#include "engine/Session.h"
#include "tests/engine/Harness.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qmconf {

using namespace quillmere::engine;

using qmtest::ResultSetData;

class Recorder : public ResultSink {
public:
    std::vector<ResultSetData> sets;
    std::vector<Message> messages;
    std::string transcript;
    bool nestedCounts = true;  // include counts from inside procedures and triggers

    void beginResultSet(const std::vector<ResultColumn>& columns) override {
        sets.push_back({columns, {}});
    }
    void row(const RowView& row) override {
        std::vector<Value> r;
        for (int i = 0; i < row.size(); ++i) r.push_back(Value::from(row.cell(i)));
        sets.back().rows.push_back(std::move(r));
    }
    void endResultSet() override {
        const auto& s = sets.back();
        std::string t = "[";
        for (std::size_t i = 0; i < s.rows.size(); ++i) {
            if (i) t += ';';
            for (std::size_t c = 0; c < s.rows[i].size(); ++c) {
                if (c) t += ',';
                t += s.text(i, c);
            }
        }
        add(t + "]");
    }
    void rowsAffected(std::int64_t n, bool shown, int nestLevel) override {
        if (nestLevel > 0 && !nestedCounts) return;
        add(shown ? "(" + std::to_string(n) + ")" : "{" + std::to_string(n) + "}");
    }
    void message(const Message& m) override {
        messages.push_back(m);
        if (m.isError()) add("E" + std::to_string(m.number));
        else if (m.number == 0) add("P:" + m.text);
        else if (m.number != 3621) add("W" + std::to_string(m.number));
    }
    std::vector<int> errors() const {
        std::vector<int> r;
        for (const auto& m : messages)
            if (m.isError()) r.push_back(m.number);
        return r;
    }
    std::string allText() const {
        std::string r;
        for (const auto& m : messages)
            r += std::to_string(m.number) + " line " + std::to_string(m.line) + ": " + m.text + "\n";
        return r;
    }

private:
    void add(const std::string& item) {
        if (!transcript.empty()) transcript += ' ';
        transcript += item;
    }
};

using TempFolder = qmtest::TempDir;

struct Case {
    const char* batch;
    const char* expected;  // transcript
};

// A session on a new, empty database "Conf".
class Conformance : public ::testing::Test {
protected:
    TempFolder dir;
    std::unique_ptr<Session> session;

    void SetUp() override {
        SessionOptions o;
        o.dataDirectory = dir.path();
        Message err;
        auto boot = Session::open(o, &err);
        ASSERT_TRUE(boot) << err.text;
        Recorder r;
        boot->execute("CREATE DATABASE Conf", r);
        ASSERT_TRUE(r.errors().empty()) << r.allText();
        o.database = "Conf";
        session = Session::open(o, &err);
        ASSERT_TRUE(session) << err.text;
    }

    Recorder run(std::string_view batch) {
        Recorder r;
        session->execute(batch, r);
        return r;
    }
    std::string transcript(std::string_view batch) { return run(batch).transcript; }

    // Batches that must succeed (fixtures), each run on its own.
    void setup(std::initializer_list<const char*> batches) {
        for (const char* b : batches) {
            Recorder r = run(b);
            ASSERT_TRUE(r.errors().empty()) << b << "\n" << r.allText();
        }
    }

    // A statement that fails while producing its rows may or may not have sent the
    // (empty) column list first; clients show the same either way, so "[] E..." reads as "E...".
    static std::string normalized(const std::string& t) {
        std::string r = t;
        for (std::size_t p; (p = r.find("[] E")) != std::string::npos;) r.erase(p, 3);
        return r;
    }

    void check(std::initializer_list<Case> cases) {
        for (const auto& c : cases) {
            Recorder r = run(c.batch);
            EXPECT_EQ(normalized(r.transcript), c.expected) << "batch: " << c.batch << "\n" << r.allText();
        }
    }
};

}  // namespace qmconf
