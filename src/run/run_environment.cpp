#include "run/run_environment.hpp"

#include <langinfo.h>
#include <locale.h>

#include <cstdio>
#include <cstring>
#include <ctime>

#include "base/fatal_stop.hpp"
#include "base/text_output.hpp"

namespace korvanel {

std::string timeOfDay() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    if (localtime_r(&now, &local) == nullptr) return "00:00:00";
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
    return buffer;
}

char localeDecimalSeparator() {
    // A private locale object: the process locale stays "C" for every
    // other conversion.
    locale_t user = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(0));
    if (user == static_cast<locale_t>(0)) return '.';
    const char* radix = nl_langinfo_l(RADIXCHAR, user);
    char separator = (radix != nullptr && std::strlen(radix) == 1) ? radix[0] : '.';
    freelocale(user);
    return separator;
}

bool writeAdvisoryFile(const std::string& path, const std::vector<std::string>& lines,
                       char decimalSeparator) {
    try {
        OutputChannel file = OutputChannel::file(path, decimalSeparator);
        for (const auto& line : lines) {
            putTextLine(file, line);
        }
        file.close();
        return true;
    } catch (const FatalStop&) {
        return false;
    }
}

}  // namespace korvanel
