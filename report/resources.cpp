#include "report/resources.h"

#include <map>

#include "report/resource_tables.h"

namespace lgoty::report {

std::string frxGet(std::string_view key) {
  static const std::map<std::string_view, std::string_view> kTexts = {
      {"xrCantFindClass", "Не удалось найти класс"},
      {"enUnconnGroup", "Нет дата-бэнда для группы"},
      {"enUnconnGFooter", "Нет заголовка группы"},
      {"enUnconnHeader", "Не подключенный header/footer"},
      {"enBandPos", "Неправильно расположен бэнд:"},
      {"prRunningFirst", "Первый проход: страница %d"},
      {"prRunning", "Готовится страница %d"},
      {"clScrError", "Ошибка в скрипте %s: %s"},
      {"clErrors", "Были обнаружены следующие ошибки:"},
      {"mbError", "Ошибка"},
      {"dbNotConn", "Компонент %s не подключен к данным"},
      {"dbFldNotFound", "Поле не найдено:"},
      {"clUnknownVar", "Неизвестная переменная или поле БД:"},
      {"clExprError", "Ошибка в выражении"},
      {"clErrorInExp", "Ошибка в вычислении выражения "},
      {"clVarSelfRef", "Переменная ссылается сама на себя:"},
      {"clExprTooDeep", "Слишком глубокая вложенность выражений:"},
  };
  auto it = kTexts.find(key);
  if (it != kTexts.end()) return std::string(it->second);
  const auto& viewer_texts = PreviewAndPrintTexts();
  auto viewer = viewer_texts.find(key);
  return std::string(viewer == viewer_texts.end() ? key : viewer->second);
}

}  // namespace lgoty::report
