// The three built-in sets of locale conventions and the choice among them by locale name.
// The values are those of the matching Windows desktop locales, which the report display
// formats and scripts were written against.
#include "core/format_settings.h"

#include <atomic>
#include <cstdlib>
#include <memory>
#include <mutex>

#include "core/ascii_text.h"

namespace lgoty::core {
namespace {

std::string LanguageOf(std::string_view locale_name) {
  // "ru_RU.UTF-8", "de_DE@euro", "en": the language is the leading run of letters.
  std::string language;
  for (char c : locale_name) {
    c = AsciiLower(c);
    if (c < 'a' || c > 'z') break;
    language += c;
  }
  if (language == "c" || language == "posix") return "";
  return language;
}

std::string EnvLocaleName() {
  for (const char* name : {"LC_ALL", "LC_NUMERIC", "LC_TIME", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return value;
  }
  return "";
}

std::mutex& DefaultMutex() {
  static std::mutex mutex;
  return mutex;
}

std::unique_ptr<FormatSettings>& DefaultSlot() {
  static std::unique_ptr<FormatSettings> slot;
  return slot;
}

// The slot's set once it exists: formatting asks for the defaults on every value, so the
// common case reads this without the mutex. The set is never freed or moved once published.
std::atomic<const FormatSettings*>& PublishedDefault() {
  static std::atomic<const FormatSettings*> published{nullptr};
  return published;
}

}  // namespace

FormatSettings FormatSettings::Russian() {
  FormatSettings fs;
  fs.DecimalSeparator = ",";
  fs.ThousandSeparator = "\xC2\xA0";
  fs.DateSeparator = ".";
  fs.TimeSeparator = ":";
  fs.ShortDateFormat = "dd.mm.yyyy";
  fs.LongDateFormat = "d mmmm yyyy";
  fs.ShortTimeFormat = "h:nn";
  fs.LongTimeFormat = "h:nn:ss";
  fs.TimeAMString = "";
  fs.TimePMString = "";
  fs.ShortMonthNames = {"янв", "фев", "мар", "апр", "май", "июн",
                        "июл", "авг", "сен", "окт", "ноя", "дек"};
  fs.LongMonthNames = {"Январь", "Февраль", "Март",     "Апрель",  "Май",    "Июнь",
                       "Июль",   "Август",  "Сентябрь", "Октябрь", "Ноябрь", "Декабрь"};
  fs.ShortDayNames = {"Вс", "Пн", "Вт", "Ср", "Чт", "Пт", "Сб"};
  fs.LongDayNames = {"воскресенье", "понедельник", "вторник", "среда",
                     "четверг",     "пятница",     "суббота"};
  fs.CurrencyString = "р.";
  fs.CurrencyFormat = 3;  // "1,00 р."
  fs.NegCurrFormat = 8;   // "-1,00 р."
  fs.CurrencyDecimals = 2;
  return fs;
}

FormatSettings FormatSettings::English() {
  FormatSettings fs;  // the member defaults are the United States conventions
  fs.ShortMonthNames = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  fs.LongMonthNames = {"January", "February", "March",     "April",   "May",      "June",
                       "July",    "August",   "September", "October", "November", "December"};
  fs.ShortDayNames = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  fs.LongDayNames = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
  fs.CurrencyString = "$";
  fs.CurrencyFormat = 0;  // "$1.00"
  fs.NegCurrFormat = 0;   // "($1.00)"
  fs.CurrencyDecimals = 2;
  return fs;
}

FormatSettings FormatSettings::German() {
  FormatSettings fs;
  fs.DecimalSeparator = ",";
  fs.ThousandSeparator = ".";
  fs.DateSeparator = ".";
  fs.TimeSeparator = ":";
  fs.ShortDateFormat = "dd.MM.yyyy";
  fs.LongDateFormat = "dddd, d. MMMM yyyy";
  fs.ShortTimeFormat = "HH:mm";
  fs.LongTimeFormat = "HH:mm:ss";
  fs.TimeAMString = "";
  fs.TimePMString = "";
  fs.ShortMonthNames = {"Jan", "Feb", "Mrz", "Apr", "Mai", "Jun",
                        "Jul", "Aug", "Sep", "Okt", "Nov", "Dez"};
  fs.LongMonthNames = {"Januar", "Februar", "März",      "April",   "Mai",      "Juni",
                       "Juli",   "August",  "September", "Oktober", "November", "Dezember"};
  fs.ShortDayNames = {"So", "Mo", "Di", "Mi", "Do", "Fr", "Sa"};
  fs.LongDayNames = {"Sonntag",    "Montag",  "Dienstag", "Mittwoch",
                     "Donnerstag", "Freitag", "Samstag"};
  fs.CurrencyString = "€";
  fs.CurrencyFormat = 3;  // "1,00 €"
  fs.NegCurrFormat = 8;   // "-1,00 €"
  fs.CurrencyDecimals = 2;
  return fs;
}

FormatSettings FormatSettings::ForLocale(std::string_view locale_name) {
  const std::string language = LanguageOf(locale_name);
  if (language == "en") return English();
  if (language == "de") return German();
  return Russian();
}

FormatSettings FormatSettings::FromLocale() { return ForLocale(EnvLocaleName()); }

const FormatSettings& DefaultFormatSettings() {
  if (const FormatSettings* fs = PublishedDefault().load(std::memory_order_acquire)) return *fs;
  std::lock_guard lock(DefaultMutex());
  auto& slot = DefaultSlot();
  if (!slot) {
    slot = std::make_unique<FormatSettings>(FormatSettings::FromLocale());
    PublishedDefault().store(slot.get(), std::memory_order_release);
  }
  return *slot;
}

void SetDefaultFormatSettings(const FormatSettings& settings) {
  std::lock_guard lock(DefaultMutex());
  // The previous set is replaced in place: references handed out earlier stay valid and see
  // the new values (the program sets them once at start, before any engine runs).
  auto& slot = DefaultSlot();
  if (slot) {
    *slot = settings;
  } else {
    slot = std::make_unique<FormatSettings>(settings);
    PublishedDefault().store(slot.get(), std::memory_order_release);
  }
}

std::string LocaleLanguage() { return LanguageOf(EnvLocaleName()); }

}  // namespace lgoty::core
