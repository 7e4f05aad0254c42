// Command-line options of quillmere-sqlcmd, spelled as sqlcmd spells them.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quillmere::sqlcmd {

struct Options {
    std::string server = "(embedded)";  // -S; "(embedded)" (the default) selects the embedded engine
    std::string database;               // -d
    std::string user;                   // -U
    std::string password;               // -P
    bool trusted = false;               // -E (the default when neither -U nor -P is given)
    std::optional<std::string> query;   // -Q or -q
    bool exitAfterQuery = false;        // true for -Q
    std::vector<std::string> inputFiles;  // -i a.sql,b.sql
    std::string outputFile;             // -o
    int headers = 0;                    // -h: 0 header once per result set, -1 none, n > 0 every n rows
    std::string separator = " ";        // -s
    bool trimSpaces = false;            // -W
    bool exitOnError = false;           // -b
    bool quotedIdentifier = false;      // -I (accepted; the embedded engine always reads "x" as a name)
    int maxVariableWidth = 256;         // -y: display width of (max) and text columns
};

struct ParsedOptions {
    Options options;
    std::string error;  // set when the command line is refused
    bool help = false;  // -? given
};

ParsedOptions parseOptions(const std::vector<std::string>& args);

// The usage text printed for -? and after a refused command line.
std::string usageText();

}  // namespace quillmere::sqlcmd
