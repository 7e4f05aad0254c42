// Command-line options of quillmere-sqlcmd (filled in with the tool).
namespace quillmere::sqlcmd {}
