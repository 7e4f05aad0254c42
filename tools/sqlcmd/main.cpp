// quillmere-sqlcmd: sqlcmd's conventions over the embedded engine.
#include <cstdio>
int main() {
    std::fputs("quillmere-sqlcmd: not available yet\n", stderr);
    return 1;
}
