// The encoding of the text a CSV holds: UTF-8, or any encoding iconv knows that keeps ASCII as it is
// (cp1251, koi8-r, iso-8859-5...), so that delimiters, quotes and line ends read the same in it.
#pragma once

#include <string>
#include <string_view>

struct InputEncoding {
    std::string name;          // as given
    bool utf8 = true;          // decoded here rather than by iconv
    void* converter = nullptr; // iconv's, to UTF-16 in the host's byte order
};

// Opens the encoding ("utf-8" or "utf8" in any letter case need no iconv). Codes:
//   0 ready
//  -1 iconv cannot convert from it, or it does not keep ASCII as it is; problem says which
int OpenInputEncoding(InputEncoding* encoding, const std::string& name, std::string* problem);
// Decodes one field into wide text. Codes:
//   0 decoded
//  -1 bytes that are not text in the encoding (or a NUL); problem says so
int DecodeInputField(InputEncoding* encoding, std::string_view bytes, std::u16string* wide,
                     std::string* problem);
void CloseInputEncoding(InputEncoding* encoding);
