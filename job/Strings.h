// The string table: every text a user sees, addressed by its number, in
// Japanese and in English. Shared by the core and both front ends.
#pragma once

#include <string>
#include <vector>

namespace pm {

enum class Language { Japanese, English };

// The language a locale asks for, read as gettext does: the first of LC_ALL,
// LC_MESSAGES and LANG that is set and not empty names the locale; "ja",
// "ja_JP.UTF-8", "ja_JP.eucJP" and the like are Japanese, anything else
// (including "C" and no locale at all) English. Null means unset.
Language LanguageOfLocale(const char* lcAll, const char* lcMessages, const char* lang);
// The same from this process's environment.
Language LanguageFromEnvironment();

// The language of every text from now on. The front ends decide once at
// start-up, before any thread starts; until then the texts are Japanese.
void SetLanguage(Language language);
Language CurrentLanguage();

// UTF-8 text of string `id` in the current language; empty for an unknown number.
const std::string& LoadString(int id);
// printf-style "%s" substitution, in order.
std::string FormatString(int id, const std::string& a);
std::string FormatString(int id, const std::string& a, const std::string& b);
// "%1" / "%2" substitution (the dialog validation texts).
std::string FormatNumbered(int id, const std::string& p1, const std::string& p2 = std::string());

// Numbers whose English text is still missing; those show the Japanese text.
std::vector<int> UntranslatedTexts();

}  // namespace pm
