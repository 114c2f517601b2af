#include "text/LooseForm.h"

#include <unicode/uchar.h>
#include <unicode/unorm2.h>
#include <unicode/ustring.h>

#include "text/Utf8.h"

namespace quorvel {

std::u16string looseForm(std::string_view text) {
    const std::string bare = utf8::trim(text);
    UErrorCode status = U_ZERO_ERROR;
    std::u16string wide(bare.size(), u'\0');
    int32_t length = 0;
    u_strFromUTF8WithSub(wide.data(), static_cast<int32_t>(wide.size()), &length, bare.data(),
                         static_cast<int32_t>(bare.size()), 0xFFFD, nullptr, &status);
    wide.resize(U_SUCCESS(status) ? static_cast<std::size_t>(length) : 0);
    // Decomposed, a letter's diacritics are marks of their own, which are dropped.
    const UNormalizer2* nfd = unorm2_getNFDInstance(&status);
    std::u16string decomposed(wide.size() * 4 + 1, u'\0');
    length = unorm2_normalize(nfd, wide.data(), static_cast<int32_t>(wide.size()),
                              decomposed.data(), static_cast<int32_t>(decomposed.size()), &status);
    decomposed.resize(U_SUCCESS(status) ? static_cast<std::size_t>(length) : 0);
    std::u16string folded;
    for (const char16_t c : decomposed) {
        if (u_charType(c) != U_NON_SPACING_MARK) {
            folded += static_cast<char16_t>(u_foldCase(c, U_FOLD_CASE_DEFAULT));
        }
    }
    return folded;
}

}  // namespace quorvel
