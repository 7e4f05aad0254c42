#include "app/Module1.h"

namespace quillmere::Module1 {

db::Connection cnn;

bool IsDigitKey(int KeyAscii)
{
    return (KeyAscii >= '0' && KeyAscii <= '9') || KeyAscii == 8;
}

}  // namespace quillmere::Module1
