// Splitting a script into batches at GO lines, as sqlcmd does on the client.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillmere::sqlcmd {

struct Batch {
    std::string text;  // the lines before the GO line, with their own line ends
    int repeat = 1;    // GO n runs the batch n times
    int firstLine = 1; // line of the script where the batch starts
};

// A GO line: "GO" alone on its line (any case, blanks around), optionally followed
// by a repeat count and a "--" comment. Returns the count (1 without one), or
// nullopt for any other line. "GO 0" or a bad count gives 0.
std::optional<int> goLine(std::string_view line);

// Feeds a script line by line. Each line is given with its line end, so that the
// batch text keeps the line ends of the script (CR LF stays CR LF).
class BatchSplitter {
public:
    // Returns the finished batch when line is a GO line and the batch holds more
    // than blanks.
    std::optional<Batch> addLine(std::string_view line);
    // The batch after the last GO, when it holds more than blanks.
    std::optional<Batch> finish();
    // True while the batch being collected holds nothing but blanks.
    bool empty() const;

private:
    std::string text_;
    int line_ = 0;
    int firstLine_ = 1;
};

// Splits a whole script (a leading UTF-8 byte order mark is dropped).
std::vector<Batch> splitBatches(std::string_view script);

// True when the line is sqlcmd's EXIT or QUIT command.
bool isExitCommand(std::string_view line);

}  // namespace quillmere::sqlcmd
