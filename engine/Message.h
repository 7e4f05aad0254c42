// Errors, warnings and PRINT output, as SQL Server sends them to a client.
#pragma once

#include <string>

namespace quillmere::engine {

struct Message {
    int number = 0;         // 0 for PRINT output
    int severity = 0;       // 0..10 informational, 11+ error
    int state = 1;
    int line = 1;           // line within the batch, or within the module when procedure is set
    std::string procedure;  // procedure or trigger the message came from, empty at batch level
    std::string server;     // server name, for the sqlcmd header
    std::string text;       // Simplified Chinese, as a Chinese server words it

    bool isError() const { return severity > 10; }
};

}  // namespace quillmere::engine
