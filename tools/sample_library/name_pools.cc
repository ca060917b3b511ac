// The vocabularies of the sample library. Author names are invented; a few carry
// what real catalogs trip over: hyphenated and apostrophe names, "ё", and Latin
// letters (ë, é) that windows-1251 cannot hold.
#include "sample_library/name_pools.h"

namespace tomeva {
namespace {

constexpr PersonName kRussianAuthors[] = {
    {"Иван", "Петрович", "Соколов"},        {"Анна", "Сергеевна", "Крылова"},
    {"Дмитрий", "Алексеевич", "Воронцов"},  {"Мария", "Николаевна", "Белова"},
    {"Алексей", "", "Королёв"},             {"Фёдор", "Ильич", "Громов"},
    {"Екатерина", "Андреевна", "Лебедева"}, {"Сергей", "Викторович", "Журавлёв"},
    {"Ольга", "Павловна", "Миронова"},      {"Николай", "Степанович", "Орлов"},
    {"Татьяна", "Юрьевна", "Зайцева"},      {"Михаил", "Борисович", "Ковалёв"},
    {"Елена", "Владимировна", "Морозова"},  {"Андрей", "", "Новиков"},
    {"Наталья", "Игоревна", "Семёнова"},    {"Владимир", "Григорьевич", "Тихонов"},
    {"Светлана", "Олеговна", "Гусева"},     {"Павел", "Аркадьевич", "Римский-Корсаков"},
    {"Юлия", "", "Кузнецова"},              {"Григорий", "Ефимович", "Рябов"},
    {"Ксения", "Дмитриевна", "Ершова"},     {"Борис", "Львович", "Каменев"},
    {"Людмила", "Фёдоровна", "Щербакова"},  {"Артём", "Сергеевич", "Ёлкин"},
    {"Вера", "Александровна", "Ильина"},    {"Константин", "Васильевич", "Шестаков"},
    {"Ирина", "", "Чернова"},               {"Виктор", "Эдуардович", "Эрдман"},
    {"Алла", "Тимуровна", "Юсупова"},       {"Роман", "Яковлевич", "Яковлев"},
    {"Лев", "Маркович", "Цейтлин"},         {"Софья", "Рашидовна", "Хабибуллина"},
    {"Глеб", "", "Ушаков"},                 {"Дарья", "Максимовна", "Фролова"},
    {"Евгений", "Петрович", "Быков"},       {"Полина", "", "Гаврилова"},
    {"Степан", "Ильич", "Добрынин"},        {"Маргарита", "Львовна", "Осипова"},
    {"Тимофей", "Андреевич", "Пахомов"},    {"Лидия", "Ивановна", "Жукова"},
    {"Аркадий", "Натанович", "Штерн"},      {"Валентина", "Сергеевна", "Нестерова"},
    {"Игорь", "", "Зимин"},                 {"Нина", "Аркадьевна", "Астахова"},
    {"Олег", "Викторович", "Лукин"},        {"Алиса", "Марковна", "Гершензон"},
    {"Кирилл", "", "Дементьев"},            {"Зоя", "Петровна", "Мельникова"},
    {"Ярослав", "Игоревич", "Чайкин"},      {"Таисия", "Борисовна", "Вьюгина"},
    {"Василий", "Макарович", "Поляков"},    {"Евдокия", "Семёновна", "Прохорова"},
    {"Станислав", "Олегович", "Щукин"},     {"Антонина", "Гавриловна", "Лаптева"},
    {"Эдуард", "Ринатович", "Галиев"},      {"Элеонора", "Витальевна", "Шубина"},
    {"Филипп", "", "Кравец"},               {"Галина", "Петровна", "Уварова"},
    {"Леонид", "Ефимович", "Аксельрод"},    {"Марк", "", "Зильберман"},
};

constexpr PersonName kEnglishAuthors[] = {
    {"John", "Ronald", "Miller"},        {"Emily", "", "Carter"},
    {"Michael", "James", "O'Brien"},     {"Sarah", "", "Thompson"},
    {"David", "Allen", "Brooks"},        {"Jessica", "", "Hale"},
    {"Robert", "Lee", "Hughes"},         {"Laura", "", "Bennett"},
    {"William", "", "Ashford"},          {"Olivia", "Grace", "Turner"},
    {"James", "", "McAllister"},         {"Charlotte", "", "Reed"},
    {"Thomas", "Edward", "Whitmore"},    {"Zoë", "", "Hart"},
    {"Henry", "", "Caldwell"},           {"Margaret", "Anne", "Fleming"},
    {"George", "", "Pemberton"},         {"Alice", "", "Montgomery-Smith"},
    {"Samuel", "", "Price"},             {"Eleanor", "", "Vance"},
    {"Christopher", "", "Dunmore"},      {"Hannah", "", "Sinclair"},
    {"Benjamin", "", "Frost"},           {"Victoria", "", "Lane"},
    {"Arthur", "Conway", "Blake"},       {"Rachel", "", "Quinn"},
    {"Edward", "", "Kingsley"},          {"Sophie", "", "D'Arcy"},
    {"Nathaniel", "", "Crane"},          {"Isabel", "", "Navarro"},
    {"Patrick", "", "Doyle"},            {"Catherine", "Elise", "Moore"},
    {"Frank", "", "Ulrich"},             {"Grace", "", "Wilde"},
    {"Lucas", "", "Young"},              {"Amelia", "", "Xavier"},
    {"Oscar", "", "Yates"},              {"Penelope", "", "Zimmer"},
    {"Walter", "", "Jennings"},          {"Chloé", "", "Marchand"},
    {"Daniel", "", "Irving"},            {"Rebecca", "", "Holt"},
    {"Ian", "", "Fairbanks"},            {"Natalie", "", "Evans"},
    {"Peter", "Gregory", "Lawson"},      {"Diana", "", "Ward"},
    {"Harold", "", "Nash"},              {"Julia", "", "Kemp"},
    {"Vincent", "", "Vale"},             {"Abigail", "", "Foster"},
    {"Simon", "", "Ellery"},             {"Martha", "", "Rowe"},
    {"Kenneth", "", "Ivory"},            {"Fiona", "", "MacLaren"},
    {"Gabriel", "", "Stone"},            {"Ruth", "", "Abernathy"},
    {"Leonard", "", "Hayes"},            {"Evelyn", "", "St. James"},
    {"Owen", "", "Harper"},              {"Lily", "", "Van Dyke"},
};

using G = Gender;
constexpr RussianNoun kRussianNouns[] = {
    {"Война", G::kFeminine},     {"Мир", G::kMasculine},       {"Тень", G::kFeminine},
    {"Дорога", G::kFeminine},    {"Город", G::kMasculine},     {"Река", G::kFeminine},
    {"Дом", G::kMasculine},      {"Сад", G::kMasculine},       {"Остров", G::kMasculine},
    {"Ночь", G::kFeminine},      {"Зима", G::kFeminine},       {"Весна", G::kFeminine},
    {"Осень", G::kFeminine},     {"Песня", G::kFeminine},      {"Тайна", G::kFeminine},
    {"Звезда", G::kFeminine},    {"Граница", G::kFeminine},    {"Память", G::kFeminine},
    {"Буря", G::kFeminine},      {"Пустыня", G::kFeminine},    {"Крепость", G::kFeminine},
    {"Степь", G::kFeminine},     {"Море", G::kNeuter},         {"Ветер", G::kMasculine},
    {"Огонь", G::kMasculine},    {"Лес", G::kMasculine},       {"Мост", G::kMasculine},
    {"Зеркало", G::kNeuter},     {"Ключ", G::kMasculine},      {"Письмо", G::kNeuter},
    {"Книга", G::kFeminine},     {"Карта", G::kFeminine},      {"Путь", G::kMasculine},
    {"Сердце", G::kNeuter},      {"Судьба", G::kFeminine},     {"Охота", G::kFeminine},
    {"Маска", G::kFeminine},     {"Легенда", G::kFeminine},    {"Надежда", G::kFeminine},
    {"Тишина", G::kFeminine},    {"Полночь", G::kFeminine},    {"Вершина", G::kFeminine},
    {"Гавань", G::kFeminine},    {"Башня", G::kFeminine},      {"Корабль", G::kMasculine},
    {"Дневник", G::kMasculine},  {"Хроника", G::kFeminine},    {"Завещание", G::kNeuter},
    {"Возвращение", G::kNeuter}, {"Изгнание", G::kNeuter},
};

constexpr RussianAdjective kRussianAdjectives[] = {
    {"Последний", "Последняя", "Последнее"}, {"Чёрный", "Чёрная", "Чёрное"},
    {"Белый", "Белая", "Белое"},             {"Тёмный", "Тёмная", "Тёмное"},
    {"Золотой", "Золотая", "Золотое"},       {"Старый", "Старая", "Старое"},
    {"Красный", "Красная", "Красное"},       {"Долгий", "Долгая", "Долгое"},
    {"Тихий", "Тихая", "Тихое"},             {"Забытый", "Забытая", "Забытое"},
    {"Северный", "Северная", "Северное"},    {"Холодный", "Холодная", "Холодное"},
};

constexpr std::string_view kRussianGenitives[] = {
    "ветра",  "времени", "севера",   "звёзд",  "моря",    "ночи",    "огня",     "дракона",
    "королей", "пустоты", "прошлого", "отца",   "бури",    "теней",   "надежды",  "капитана",
    "мастера", "сна",     "разума",   "реки",   "гор",     "леса",    "зимы",     "города",
    "океана", "судьбы",  "правды",   "света",  "пепла",   "забвения", "героев",  "странника",
    "волка",  "ворона",  "луны",     "солнца", "империи", "войны",   "мира",     "тишины",
};

constexpr std::string_view kEnglishNouns[] = {
    "War",     "Peace",    "Shadow",  "Road",      "City",      "River",   "House",
    "Garden",  "Island",   "Night",   "Winter",    "Spring",    "Song",    "Secret",
    "Star",    "Border",   "Memory",  "Storm",     "Desert",    "Fortress", "Sea",
    "Wind",    "Fire",     "Forest",  "Bridge",    "Mirror",    "Key",     "Letter",
    "Book",    "Map",      "Path",    "Heart",     "Fate",      "Hunt",    "Mask",
    "Legend",  "Hope",     "Silence", "Midnight",  "Summit",    "Harbor",  "Tower",
    "Ship",    "Diary",    "Chronicle", "Will",    "Return",    "Exile",   "Captain",
    "Daughter", "King",    "Stranger", "Wolf",     "Raven",     "Moon",    "Sun",
    "Empire",  "Dragon",   "Glass",   "Clockmaker",
};

constexpr std::string_view kEnglishAdjectives[] = {
    "Last",   "Black",  "White",   "Dark",    "Golden",  "Old",     "Red",
    "Long",   "Quiet",  "Forgotten", "Northern", "Cold", "Silent",  "Broken",
    "Hidden", "Lost",   "Burning", "Distant", "Crimson", "Iron",    "Silver",
    "Wild",   "Hollow", "Endless", "Little",
};

constexpr std::string_view kRussianFiller[] = {
    "и",     "в",     "не",     "на",     "что",    "он",     "она",    "был",
    "было",  "как",   "к",      "по",     "но",     "из",     "у",      "за",
    "от",    "так",   "уже",    "ещё",    "тогда",  "сказал", "вдруг",  "долго",
    "тихо",  "снова", "никто",  "всегда", "потом",  "здесь",  "там",    "смотрел",
    "шёл",   "знал",  "думала", "ждал",   "помнил", "где-то", "почти",  "совсем",
};

constexpr std::string_view kEnglishFiller[] = {
    "the",   "and",    "of",    "to",     "in",     "he",    "she",    "was",
    "it",    "that",   "with",  "for",    "on",     "as",    "had",    "but",
    "not",   "at",     "from",  "by",     "they",   "were",  "said",   "then",
    "again", "never",  "always", "there", "here",   "slowly", "quietly", "knew",
    "waited", "remembered", "walked", "looked", "almost", "somewhere", "nobody", "once",
};

constexpr std::string_view kAllGenres[] = {
    "accounting", "adv_animal", "adv_geo", "adv_history", "adv_maritime", "adv_western",
    "adventure", "antique", "antique_ant", "antique_east", "antique_european", "antique_myths",
    "antique_russian", "aphorism_quote", "architecture_book", "auto_regulations", "banking",
    "beginning_authors", "child_adv", "child_det", "child_education", "child_prose", "child_sf",
    "child_tale", "child_verse", "children", "cinema_theatre", "city_fantasy", "comp_db",
    "comp_hard", "comp_osnet", "comp_programming", "comp_soft", "comp_www", "computers",
    "design", "det_action", "det_classic", "det_crime", "det_espionage", "det_hard",
    "det_history", "det_irony", "det_police", "det_political", "detective", "dragon_fantasy",
    "dramaturgy", "economics", "essays", "fantasy_fight", "foreign_action", "foreign_adventure",
    "foreign_antique", "foreign_business", "foreign_children", "foreign_comp",
    "foreign_contemporary", "foreign_contemporary_lit", "foreign_desc", "foreign_detective",
    "foreign_dramaturgy", "foreign_edu", "foreign_fantasy", "foreign_home", "foreign_humor",
    "foreign_language", "foreign_love", "foreign_novel", "foreign_other", "foreign_poetry",
    "foreign_prose", "foreign_psychology", "foreign_publicism", "foreign_religion",
    "foreign_sf", "geo_guides", "geography_book", "global_economy", "historical_fantasy",
    "home", "home_cooking", "home_crafts", "home_diy", "home_entertain", "home_garden",
    "home_health", "home_pets", "home_sex", "home_sport", "humor", "humor_anecdote",
    "humor_fantasy", "humor_prose", "humor_verse", "industries", "job_hunting",
    "literature_18", "literature_19", "literature_20", "love_contemporary", "love_detective",
    "love_erotica", "love_fantasy", "love_history", "love_sf", "love_short", "magician_book",
    "management", "marketing", "military_special", "music_dancing", "narrative", "newspapers",
    "nonf_biography", "nonf_criticism", "nonf_publicism", "nonfiction", "org_behavior",
    "paper_work", "pedagogy_book", "periodic", "personal_finance", "poetry", "popadanec",
    "popular_business", "prose_classic", "prose_counter", "prose_history", "prose_military",
    "prose_rus_classic", "prose_su_classics", "psy_alassic", "psy_childs", "psy_generic",
    "psy_personal", "psy_sex_and_family", "psy_social", "psy_theraphy", "real_estate",
    "ref_dict", "ref_encyc", "ref_guide", "ref_ref", "reference", "religion",
    "religion_esoterics", "religion_rel", "religion_self", "russian_contemporary",
    "russian_fantasy", "sci_biology", "sci_chem", "sci_culture", "sci_history", "sci_juris",
    "sci_linguistic", "sci_math", "sci_medicine", "sci_philosophy", "sci_phys", "sci_politics",
    "sci_religion", "sci_tech", "science", "sf", "sf_action", "sf_cyberpunk", "sf_detective",
    "sf_fantasy", "sf_heroic", "sf_history", "sf_horror", "sf_humor", "sf_social", "sf_space",
    "short_story", "sketch", "small_business", "sociology_book", "stock", "thriller",
    "upbringing_book", "vampire_book", "visual_arts",
};

constexpr std::string_view kPopularGenres[] = {
    "sf",           "sf_fantasy",        "sf_action",       "detective",     "det_classic",
    "thriller",     "love_contemporary", "prose_classic",   "prose_history", "adventure",
    "humor_prose",  "poetry",            "child_tale",      "nonf_biography", "sf_space",
};

constexpr std::string_view kRussianPublishers[] = {
    "Северное издательство", "Книжный мир", "Издательство «Полдень»", "Литера",
    "Восход",                "Парус",       "Дом книги \"Орбита\"",     "Светоч",
};
constexpr std::string_view kEnglishPublishers[] = {
    "Harbor & Vale",   "Northwind Press", "Greyfield Books", "Oak Leaf Publishing",
    "Blue Lantern",    "Marlow & Finch",  "Kestrel House",   "Riverside Editions",
};
constexpr std::string_view kRussianCities[] = {"Москва", "Санкт-Петербург", "Екатеринбург",
                                               "Новосибирск", "Казань"};
constexpr std::string_view kEnglishCities[] = {"London", "New York", "Boston", "Edinburgh",
                                               "Toronto"};

constexpr std::string_view kDocumentAuthors[] = {
    "bookscanner", "Lib_Keeper", "ocr-team", "Аноним", "Читатель", "proofreader42",
};

}  // namespace

std::string_view LanguageCode(SampleLanguage language) {
  return language == SampleLanguage::kRussian ? "ru" : "en";
}

std::span<const PersonName> AuthorNames(SampleLanguage language) {
  if (language == SampleLanguage::kRussian) return kRussianAuthors;
  return kEnglishAuthors;
}

std::span<const RussianNoun> RussianNouns() { return kRussianNouns; }
std::span<const RussianAdjective> RussianAdjectives() { return kRussianAdjectives; }
std::span<const std::string_view> RussianGenitives() { return kRussianGenitives; }
std::span<const std::string_view> EnglishNouns() { return kEnglishNouns; }
std::span<const std::string_view> EnglishAdjectives() { return kEnglishAdjectives; }

std::span<const std::string_view> FillerWords(SampleLanguage language) {
  if (language == SampleLanguage::kRussian) return kRussianFiller;
  return kEnglishFiller;
}

std::span<const std::string_view> AllGenres() { return kAllGenres; }
std::span<const std::string_view> PopularGenres() { return kPopularGenres; }

std::span<const std::string_view> Publishers(SampleLanguage language) {
  if (language == SampleLanguage::kRussian) return kRussianPublishers;
  return kEnglishPublishers;
}

std::span<const std::string_view> Cities(SampleLanguage language) {
  if (language == SampleLanguage::kRussian) return kRussianCities;
  return kEnglishCities;
}

std::span<const std::string_view> DocumentAuthors() { return kDocumentAuthors; }

}  // namespace tomeva
