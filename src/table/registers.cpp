#include "table/registers.h"

#include "table/fieldreader.h"

namespace telvaro {

std::optional<QString> RegisterRuleBroken(const RegisterEntry &entry)
{
    if (!IsRegisterWidth(entry.Width))
        return QStringLiteral("the width %1 is out of range (0 to %2)").arg(entry.Width).arg(MaxRegisterWidth);
    if (!IsRegisterFill(entry.Fill))
        return QStringLiteral("the fill \"%1\" is neither a blank nor 0").arg(Excerpt(entry.Fill));
    return std::nullopt;
}

} // namespace telvaro
