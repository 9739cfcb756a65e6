// varnel-hwp's words: English, or Korean for a user whose locale is Korean.
#pragma once

#include <string>

// Whether the user reads Korean: the first of LC_ALL, LC_MESSAGES and LANG that is set
// starts with "ko" (ko_KR.UTF-8, ko).
bool KoreanLocale();

// The text for the user's language.
inline const char* Say(const char* english, const char* korean)
{
    return KoreanLocale() ? korean : english;
}

// `message` as the user reads it. The messages of the page commands and of the document
// reader are written in English; for a Korean user the phrases they are made of are put
// in Korean, with the paths and numbers they carry. A phrase not known here stays as it is.
std::string Localized(const std::string& message);

// Prints "varnel-hwp: MESSAGE" on standard error, localized.
void ReportError(const std::string& message);
