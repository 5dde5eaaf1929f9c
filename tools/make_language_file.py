#!/usr/bin/env python3
"""Writes data/dialdex.lng, the language file shipped beside the program.

The texts below are kept in UTF-8; the program reads the file as 8-bit text in the device's code page,
so the file is written in code page 1251 (Cyrillic) with CR LF line ends. Run from anywhere:
    python3 tools/make_language_file.py [output path]
The checks below refuse a file that the program could not use whole: a text the code page cannot
write, a line break inside a text, a line longer than the reader's 511-byte pieces, a message text
longer than its 79-character slot, or a message whose %s / %i differ from the built-in text's.
"""
import os
import re
import sys

CODE_PAGE = "cp1251"

# Identifier -> built-in text, in the order the program uses them.
BUILT_IN = {
    700: "Search",
    701: "Result",
    702: "Setup",
    703: "About",
    704: "Exit",
    900: "Error",
    901: "Info",
    902: "You must input some criteria(s)",
    903: "Could not open ini file for save - %s",
    904: "Bad db file  - %s",
    905: "Max db file = %i",
    906: "All installed db files - ok!",
    907: "Found: %i wrong db files\r\n\r\nBad entrances deleted.",
    908: "Scaned: %i, results: %i",
    909: "Query: ",
    910: "phone=",
    911: "name=",
    912: "street=",
    913: "house=",
    914: "flat=",
    915: "Start",
    916: "Stop",
    917: "No database is installed: install one on the Setup page.",
    918: "Memory full! Read %i, found %i",
    919: "The db file is damaged, the results may be wrong - %s",
    920: "The db file ended early, the results are incomplete - %s",
    921: "The db file changed during the search, the results may be wrong - %s",
    922: "Out of memory: the last action was not completed.",
    923: "Not enough memory to copy %i rows.",
    924: "Not enough memory to sort %i rows.",
    # -1 is both the Search page's title and the Setup page's "Language:" label (see UNTRANSLATED).
    -1: "Dialdex v.2.0 beta",  # and the Setup page's "Language:" label
    1106: "Reset",
    1107: "Start",
    1109: "DB",
    1110: "Phone",
    1111: "Name",
    1112: "Street",
    1113: "House",
    1114: "Flat",
    1203: "Progress1",
    1204: "Searching Results:",
    1205: "Query details:",
    1303: "Find DB",
    1304: "Install",
    1305: "Check",
    1306: "Dialdex Options:",
    1307: "Install new databases:",
    1309: "Save",
    1050: "Results",   # what a screen reader calls the result list,
    1051: "Status",    # the status text
    1052: "Progress",  # and the progress bar
    # The desktop's texts: menus ("&" marks the key letter), file dialogs, desktop messages.
    1000: "&File",
    1001: "&Open…",
    1002: "&Export results…",
    1003: "&Setup",
    1004: "E&xit",
    1005: "&Edit",
    1006: "&Copy",
    1007: "Copy &all",
    1008: "&Help",
    1009: "&About",
    1010: "Open a directory database",
    1011: "Directory databases",
    1012: "Export results",
    1013: "CSV files",
    1014: "All files",
    1015: "Could not write - %s",
}

# Where the English section corrects the built-in texts (the program's own English stays as it is, for
# a device without the language file); the section is otherwise the built-in texts themselves.
ENGLISH_CORRECTIONS = {
    902: "Please enter at least one search criterion",
    903: "Could not open ini file for saving - %s",
    904: "Bad db file - %s",
    905: "Max db files = %i",
    907: "Found %i wrong db files. Bad entries deleted.",
    908: "Scanned: %i, results: %i",
    1203: "Progress",
    1204: "Search results:",
}

SECTIONS = [
    ("RUSSIAN", {
        700: "Поиск",
        701: "Итоги",
        702: "Опции",
        703: "Инфо",
        704: "Выход",
        900: "Ошибка",
        901: "Информация",
        902: "Введите хотя бы один критерий поиска",
        903: "Не удалось открыть ini-файл для записи - %s",
        904: "Неверный файл базы - %s",
        905: "Установлено максимальное число баз: %i",
        906: "Все установленные базы в порядке!",
        907: "Найдено неверных баз: %i. Неверные записи удалены.",
        908: "Просмотрено: %i, найдено: %i",
        909: "Запрос: ",
        910: "телефон=",
        911: "фамилия=",
        912: "улица=",
        913: "дом=",
        914: "кв=",
        915: "Старт",
        916: "Стоп",
        917: "Нет установленных баз: установите базу на странице «Опции».",
        918: "Память! Просм. %i, найд. %i",
        919: "Файл базы повреждён, результаты могут быть неверны - %s",
        920: "Файл базы оборван, результаты неполные - %s",
        921: "Файл базы изменился во время поиска, результаты могут быть неверны - %s",
        922: "Не хватило памяти: последнее действие не выполнено.",
        923: "Не хватает памяти, чтобы скопировать строки (%i).",
        924: "Не хватает памяти, чтобы отсортировать строки (%i).",
        1106: "Сброс",
        1107: "Старт",
        1109: "База",
        1110: "Телефон",
        1111: "Фамилия",
        1112: "Улица",
        1113: "Дом",
        1114: "Кв.",
        1203: "Прогресс",
        1204: "Результаты поиска:",
        1205: "Параметры запроса:",
        1303: "Найти БД",
        1304: "Добавить",
        1305: "Проверить",
        1306: "Настройки Dialdex:",
        1307: "Установка новых баз:",
        1309: "Сохранить",
        1050: "Результаты",
        1051: "Состояние",
        1052: "Ход поиска",
        1000: "&Файл",
        1001: "&Открыть…",
        1002: "&Экспорт результатов…",
        1003: "Оп&ции",
        1004: "В&ыход",
        1005: "&Правка",
        1006: "&Копировать",
        1007: "Копировать &все",
        1008: "&Справка",
        1009: "&О программе",
        1010: "Открыть базу справочника",
        1011: "Базы справочника",
        1012: "Экспорт результатов",
        1013: "Файлы CSV",
        1014: "Все файлы",
        1015: "Не удалось записать - %s",
    }),
    # The built-in texts with the corrections above: the English a user reads should be good English.
    ("ENGLISH", {**{key: text for key, text in BUILT_IN.items() if key != -1}, **ENGLISH_CORRECTIONS}),
    ("UKRAINIAN", {
        700: "Пошук",
        701: "Підсумки",
        702: "Опції",
        703: "Інфо",
        704: "Вихід",
        900: "Помилка",
        901: "Інформація",
        902: "Введіть хоча б один критерій пошуку",
        903: "Не вдалося відкрити ini-файл для запису - %s",
        904: "Невірний файл бази - %s",
        905: "Встановлено найбільшу кількість баз: %i",
        906: "Усі встановлені бази в порядку!",
        907: "Знайдено невірних баз: %i. Невірні записи видалено.",
        908: "Переглянуто: %i, знайдено: %i",
        909: "Запит: ",
        910: "телефон=",
        911: "прізвище=",
        912: "вулиця=",
        913: "будинок=",
        914: "кв=",
        915: "Старт",
        916: "Стоп",
        917: "Немає встановлених баз: встановіть базу на сторінці «Опції».",
        918: "Пам'ять! Перегл. %i, знайд. %i",
        919: "Файл бази пошкоджено, результати можуть бути хибними - %s",
        920: "Файл бази обірвано, результати неповні - %s",
        921: "Файл бази змінився під час пошуку, результати можуть бути хибними - %s",
        922: "Забракло пам'яті: останню дію не виконано.",
        923: "Бракує пам'яті, щоб скопіювати рядки (%i).",
        924: "Бракує пам'яті, щоб відсортувати рядки (%i).",
        1106: "Скинути",
        1107: "Старт",
        1109: "База",
        1110: "Телефон",
        1111: "Прізвище",
        1112: "Вулиця",
        1113: "Будинок",
        1114: "Кв.",
        1203: "Прогрес",
        1204: "Результати пошуку:",
        1205: "Параметри запиту:",
        1303: "Знайти БД",
        1304: "Додати",
        1305: "Перевірити",
        1306: "Налаштування Dialdex:",
        1307: "Встановлення нових баз:",
        1309: "Зберегти",
        1050: "Результати",
        1051: "Стан",
        1052: "Хід пошуку",
        1000: "&Файл",
        1001: "&Відкрити…",
        1002: "&Експорт результатів…",
        1003: "&Опції",
        1004: "В&ихід",
        1005: "&Редагування",
        1006: "&Копіювати",
        1007: "Копіювати &все",
        1008: "&Довідка",
        1009: "&Про програму",
        1010: "Відкрити базу довідника",
        1011: "Бази довідника",
        1012: "Експорт результатів",
        1013: "Файли CSV",
        1014: "Усі файли",
        1015: "Не вдалося записати - %s",
    }),
]

# Identifiers no section may give. -1 keys two captions, the Search page's title and the label of the
# language selector: no text suits both (a translated "Language:" would title the Search page), so both
# keep their built-in texts, the program's name and "Language:" beside the English section names.
UNTRANSLATED = {-1}

LINE_LIMIT = 511          # the reader takes a line in pieces of at most 511 bytes
TEXT_LIMIT = 127          # the lookup buffer keeps 127 characters
MESSAGE_TEXT_LIMIT = 79   # a message text slot keeps 79 characters
LAST_MESSAGE_TEXT = 924   # the message texts are identifiers 900 to 924
SECTION_NAME_LIMIT = 14   # the longest section name that can be selected, in bytes
PHONE_LABEL_LIMIT = 7     # the phone label (1110) shares its 59 pixels with nothing else
# The menus: each title, then its items. Every text marks one key letter with "&", and no two texts
# opened by the same keys (the titles on the bar, the items of one menu) mark the same letter.
MENUS = [(1000, [1001, 1002, 1003, 1004]), (1005, [1006, 1007]), (1008, [1009])]


def specifiers(text):
    return re.findall(r"%[-0-9.]*[a-zA-Z%]", text)


def key_letter(text):
    """The letter after the one "&" of a menu text, lower-cased; None without exactly one."""
    marks = [at for at, character in enumerate(text) if character == "&"]
    if len(marks) != 1 or marks[0] + 1 >= len(text) or not text[marks[0] + 1].isalnum():
        return None
    return text[marks[0] + 1].lower()


def check_menus(name, texts):
    problems = []
    groups = [[title for title, _ in MENUS]] + [items for _, items in MENUS]
    for group in groups:
        seen = {}
        for identifier in group:
            text = texts.get(identifier, BUILT_IN[identifier])
            letter = key_letter(text)
            if letter is None:
                problems.append(f"[{name}] {identifier}: a menu text marks one key letter with '&': {text!r}")
            elif letter in seen:
                problems.append(f"[{name}] {identifier}: key letter '{letter}' is {seen[letter]}'s too")
            else:
                seen[letter] = identifier
    return problems


def check_section(name, texts):
    problems = []
    if len(name.encode(CODE_PAGE)) > SECTION_NAME_LIMIT:
        problems.append(f"section name {name} is longer than {SECTION_NAME_LIMIT} bytes")
    missing = sorted(set(BUILT_IN) - set(texts) - UNTRANSLATED)
    unknown = sorted(set(texts) - set(BUILT_IN))
    shared = sorted(set(texts) & UNTRANSLATED)
    if missing:
        problems.append(f"[{name}] lacks {missing}")
    if unknown:
        problems.append(f"[{name}] has identifiers the program never asks for: {unknown}")
    if shared:
        problems.append(f"[{name}] gives {shared}, which would change two captions at once")
    for identifier, text in texts.items():
        where = f"[{name}] {identifier}"
        if not text:
            problems.append(f"{where}: empty text (the built-in text would stay)")
        if "\r" in text or "\n" in text:
            problems.append(f"{where}: a line break cannot be part of a text")
        try:
            line = f"{identifier}={text}\r\n".encode(CODE_PAGE)
        except UnicodeEncodeError as error:
            problems.append(f"{where}: code page 1251 cannot write {error.object[error.start:error.end]!r}")
            continue
        if len(line) - 2 > LINE_LIMIT:
            problems.append(f"{where}: line longer than {LINE_LIMIT} bytes")
        limit = MESSAGE_TEXT_LIMIT if 900 <= identifier <= LAST_MESSAGE_TEXT else TEXT_LIMIT
        if len(text) > limit:
            problems.append(f"{where}: text longer than {limit} characters")
        if identifier in BUILT_IN and specifiers(text) != specifiers(BUILT_IN[identifier]):
            problems.append(f"{where}: %-specifiers {specifiers(text)} differ from the built-in text's")
    problems += check_menus(name, texts)
    if name == "RUSSIAN" and len(texts.get(1110, "")) > PHONE_LABEL_LIMIT:
        problems.append(f"[{name}] 1110: phone label longer than {PHONE_LABEL_LIMIT} characters")
    return problems


def build():
    lines = ["; Dialdex language file: one section per language, code page 1251"]
    for name, texts in SECTIONS:
        lines.append(f"[{name}]")
        for identifier in BUILT_IN:
            if identifier not in UNTRANSLATED:
                lines.append(f"{identifier}={texts[identifier]}")
    return ("\r\n".join(lines) + "\r\n").encode(CODE_PAGE)


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    output = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "data", "dialdex.lng")
    problems = [problem for name, texts in SECTIONS for problem in check_section(name, texts)]
    problems += check_menus("built-in", BUILT_IN)
    if SECTIONS[0][0] != "RUSSIAN":
        problems.append("the first section must be RUSSIAN, the program's default language")
    if problems:
        print("\n".join(problems), file=sys.stderr)
        return 1
    with open(output, "wb") as file:
        file.write(build())
    print(f"wrote {output}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
