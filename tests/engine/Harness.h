// Test helpers: a sink that records everything a session sends, and a session
// on a fresh database file in a temporary folder.
#pragma once

#include "engine/Format.h"
#include "engine/Session.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace qmtest {

using namespace quillmere::engine;

struct ResultSetData {
    std::vector<ResultColumn> columns;
    std::vector<std::vector<Value>> rows;
    // cell as SQL Server would display it
    std::string text(std::size_t row, std::size_t col) const {
        return formatValue(rows.at(row).at(col).view(), columns.at(col).type);
    }
};

struct Event {
    enum Kind { ResultSet, RowCount, Msg } kind;
    int index = 0;  // result set index, or message index
    std::int64_t count = 0;
    bool shown = true;
    int nestLevel = 0;
};

class RecordingSink : public ResultSink {
public:
    std::vector<ResultSetData> sets;
    std::vector<Message> messages;
    std::vector<Event> events;
    std::vector<std::int64_t> counts;  // every rowsAffected, shown or not

    void beginResultSet(const std::vector<ResultColumn>& columns) override {
        sets.push_back({columns, {}});
        events.push_back({Event::ResultSet, static_cast<int>(sets.size()) - 1});
    }
    void row(const RowView& row) override {
        std::vector<Value> r;
        for (int i = 0; i < row.size(); ++i) r.push_back(Value::from(row.cell(i)));
        sets.back().rows.push_back(std::move(r));
    }
    void endResultSet() override {}
    void rowsAffected(std::int64_t n, bool shown, int nestLevel) override {
        counts.push_back(n);
        events.push_back({Event::RowCount, 0, n, shown, nestLevel});
    }
    void message(const Message& m) override {
        messages.push_back(m);
        events.push_back({Event::Msg, static_cast<int>(messages.size()) - 1});
    }
    std::vector<int> errorNumbers() const {
        std::vector<int> r;
        for (const auto& m : messages)
            if (m.isError()) r.push_back(m.number);
        return r;
    }
    std::string allText() const {
        std::string r;
        for (const auto& m : messages) r += std::to_string(m.number) + ":" + m.text + "\n";
        return r;
    }
};

class TempDir {
public:
    TempDir() {
        static int counter = 0;
        path_ = std::filesystem::temp_directory_path() /
                ("qm-engine-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// A session on a new database "Test" in its own folder.
class EngineTest : public ::testing::Test {
protected:
    TempDir dir;
    std::unique_ptr<Session> session;

    void SetUp() override {
        SessionOptions o;
        o.dataDirectory = dir.path();
        Message err;
        auto boot = Session::open(o, &err);
        ASSERT_TRUE(boot);
        RecordingSink s;
        boot->execute("CREATE DATABASE Test", s);
        ASSERT_TRUE(s.errorNumbers().empty()) << s.allText();
        o.database = "Test";
        session = Session::open(o, &err);
        ASSERT_TRUE(session) << err.text;
    }

    std::unique_ptr<Session> openSecond(int busyMs = 5000) {
        SessionOptions o;
        o.dataDirectory = dir.path();
        o.database = "Test";
        o.busyTimeoutMs = busyMs;
        Message err;
        return Session::open(o, &err);
    }

    RecordingSink run(std::string_view sql) {
        RecordingSink s;
        session->execute(sql, s);
        return s;
    }
    // Runs and expects no error.
    RecordingSink ok(std::string_view sql) {
        RecordingSink s = run(sql);
        EXPECT_TRUE(s.errorNumbers().empty()) << sql << "\n" << s.allText();
        return s;
    }
    // First column of the first result set, as displayed.
    std::vector<std::string> column(std::string_view sql, std::size_t col = 0) {
        RecordingSink s = ok(sql);
        std::vector<std::string> r;
        if (s.sets.empty()) return r;
        for (std::size_t i = 0; i < s.sets[0].rows.size(); ++i) r.push_back(s.sets[0].text(i, col));
        return r;
    }
    std::string scalar(std::string_view sql) {
        auto c = column(sql);
        return c.empty() ? std::string("<no row>") : c[0];
    }
    // Runs a script of batches separated by GO lines.
    void script(const std::string& text) {
        std::string batch;
        std::size_t b = 0;
        auto flush = [&] {
            bool blank = batch.find_first_not_of(" \t\r\n") == std::string::npos;
            if (!blank) {
                RecordingSink s = run(batch);
                EXPECT_TRUE(s.errorNumbers().empty()) << batch << "\n" << s.allText();
            }
            batch.clear();
        };
        while (b <= text.size()) {
            std::size_t e = text.find('\n', b);
            std::string line = text.substr(b, e == std::string::npos ? std::string::npos : e - b + 1);
            std::string t = line;
            while (!t.empty() && (t.back() == '\n' || t.back() == '\r' || t.back() == ' ')) t.pop_back();
            std::size_t s = t.find_first_not_of(' ');
            if (s != std::string::npos && (t.substr(s) == "GO" || t.substr(s) == "go")) flush();
            else batch += line;
            if (e == std::string::npos) break;
            b = e + 1;
        }
        flush();
    }
};

// The school database: tables, views, procedures and triggers as the program expects them.
std::string schoolSchema();

}  // namespace qmtest
