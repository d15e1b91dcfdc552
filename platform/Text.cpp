#include "platform/Text.h"

#include <unicode/ucol.h>
#include <unicode/uloc.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/Counts.h"

namespace parelix {

std::string cut255(std::string_view s) {
    return std::string(s.substr(0, kShortStringMax));
}

namespace {

// One collator for the process: the user's locale, tertiary strength (case counts),
// punctuation not ignored so that "--> " folders keep together.
UCollator* collator() {
    static UCollator* instance = [] {
        UErrorCode status = U_ZERO_ERROR;
        // The C and POSIX locales would give code-point order ("Z" before "a"), which no
        // user expects of a sorted tree: they take the common order of all languages.
        const char* locale = uloc_getDefault();
        if (std::strcmp(locale, "en_US_POSIX") == 0 || std::strcmp(locale, "c") == 0) locale = "";
        UCollator* c = ucol_open(locale, &status);
        if (U_FAILURE(status)) {
            status = U_ZERO_ERROR;
            c = ucol_open("", &status);
        }
        if (c) {
            ucol_setStrength(c, UCOL_TERTIARY);
            ucol_setAttribute(c, UCOL_ALTERNATE_HANDLING, UCOL_NON_IGNORABLE, &status);
        }
        return c;
    }();
    return instance;
}

}  // namespace

int lstrcmpA(std::string_view a, std::string_view b) {
    UErrorCode status = U_ZERO_ERROR;
    UCollationResult r = UCOL_EQUAL;
    if (UCollator* c = collator())
        r = ucol_strcollUTF8(c, a.data(), static_cast<int32_t>(a.size()), b.data(),
                             static_cast<int32_t>(b.size()), &status);
    if (U_SUCCESS(status) && r != UCOL_EQUAL) return r == UCOL_LESS ? -1 : 1;
    // Texts the collation cannot tell apart (such as different invalid bytes) still get
    // a fixed order, by their bytes.
    const int bytes = a.compare(b);
    return bytes < 0 ? -1 : (bytes > 0 ? 1 : 0);
}

int MulDiv(int a, int b, int c) {
    if (c == 0) return -1;
    const std::int64_t product = static_cast<std::int64_t>(a) * b;
    std::int64_t q = product / c;
    const std::int64_t r = product % c;
    // Round half away from zero.
    if (2 * std::llabs(r) >= std::llabs(static_cast<std::int64_t>(c))) q += ((product < 0) != (c < 0)) ? -1 : 1;
    if (q > INT32_MAX || q < INT32_MIN) return -1;
    return static_cast<int>(q);
}

std::string groupThousands(unsigned long long count) {
    const std::string digits = std::to_string(count);
    std::string text;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) text += "\u202F";
        text += digits[i];
    }
    return text;
}

}  // namespace parelix
