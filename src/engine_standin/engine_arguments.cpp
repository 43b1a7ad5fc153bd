#include "engine_standin/engine_arguments.h"

namespace kx::standin {

bool IsUserKeyForm(std::string_view key)
{
    if (key.size() != 12)
        return false;
    for (std::size_t i = 0; i < 6; ++i)
        if (key[i] < 'A' || key[i] > 'Z')
            return false;
    for (std::size_t i = 6; i < 12; ++i)
        if (key[i] < '0' || key[i] > '9')
            return false;
    return true;
}

std::string UndoubleBackslashes(std::string_view path)
{
    std::string out;
    out.reserve(path.size());
    for (std::size_t i = 0; i < path.size(); ++i) {
        out.push_back(path[i]);
        if (path[i] == '\\' && i + 1 < path.size() && path[i + 1] == '\\')
            ++i;  // the doubled partner
    }
    return out;
}

} // namespace kx::standin
