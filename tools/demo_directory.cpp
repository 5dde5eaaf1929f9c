// The synthetic directory. Every subscriber comes from a hash of the seed and its index, so the output
// needs no state from one record to the next and never depends on a library's random distributions.
#include "tools/demo_directory.h"

#include "platform/text.h"

#include <cstring>

struct SurnameForms {
    const char* male;
    const char* female;
};

// The most common surnames first: they are drawn more often.
static const SurnameForms Surnames[] = {
    {"ИВАНОВ",           "ИВАНОВА"          },
    {"СМИРНОВ",         "СМИРНОВА"        },
    {"КУЗНЕЦОВ",       "КУЗНЕЦОВА"      },
    {"ПОПОВ",             "ПОПОВА"            },
    {"ВАСИЛЬЕВ",       "ВАСИЛЬЕВА"      },
    {"ПЕТРОВ",           "ПЕТРОВА"          },
    {"СОКОЛОВ",         "СОКОЛОВА"        },
    {"МИХАЙЛОВ",       "МИХАЙЛОВА"      },
    {"НОВИКОВ",         "НОВИКОВА"        },
    {"ФЕДОРОВ",         "ФЕДОРОВА"        },
    {"МОРОЗОВ",         "МОРОЗОВА"        },
    {"ВОЛКОВ",           "ВОЛКОВА"          },
    {"АЛЕКСЕЕВ",       "АЛЕКСЕЕВА"      },
    {"ЛЕБЕДЕВ",         "ЛЕБЕДЕВА"        },
    {"СЕМЕНОВ",         "СЕМЕНОВА"        },
    {"ЕГОРОВ",           "ЕГОРОВА"          },
    {"ПАВЛОВ",           "ПАВЛОВА"          },
    {"КОЗЛОВ",           "КОЗЛОВА"          },
    {"СТЕПАНОВ",       "СТЕПАНОВА"      },
    {"НИКОЛАЕВ",       "НИКОЛАЕВА"      },
    {"ОРЛОВ",             "ОРЛОВА"            },
    {"АНДРЕЕВ",         "АНДРЕЕВА"        },
    {"МАКАРОВ",         "МАКАРОВА"        },
    {"НИКИТИН",         "НИКИТИНА"        },
    {"ЗАХАРОВ",         "ЗАХАРОВА"        },
    {"ЗАЙЦЕВ",           "ЗАЙЦЕВА"          },
    {"СОЛОВЬЕВ",       "СОЛОВЬЕВА"      },
    {"БОРИСОВ",         "БОРИСОВА"        },
    {"ЯКОВЛЕВ",         "ЯКОВЛЕВА"        },
    {"ГРИГОРЬЕВ",     "ГРИГОРЬЕВА"    },
    {"РОМАНОВ",         "РОМАНОВА"        },
    {"ВОРОБЬЕВ",       "ВОРОБЬЕВА"      },
    {"СЕРГЕЕВ",         "СЕРГЕЕВА"        },
    {"КУЗЬМИН",         "КУЗЬМИНА"        },
    {"ФРОЛОВ",           "ФРОЛОВА"          },
    {"АЛЕКСАНДРОВ", "АЛЕКСАНДРОВА"},
    {"ДМИТРИЕВ",       "ДМИТРИЕВА"      },
    {"КОРОЛЕВ",         "КОРОЛЕВА"        },
    {"ГУСЕВ",             "ГУСЕВА"            },
    {"КИСЕЛЕВ",         "КИСЕЛЕВА"        },
    {"ИЛЬИН",             "ИЛЬИНА"            },
    {"МАКСИМОВ",       "МАКСИМОВА"      },
    {"ПОЛЯКОВ",         "ПОЛЯКОВА"        },
    {"СОРОКИН",         "СОРОКИНА"        },
    {"ВИНОГРАДОВ",   "ВИНОГРАДОВА"  },
    {"КОВАЛЕВ",         "КОВАЛЕВА"        },
    {"БЕЛОВ",             "БЕЛОВА"            },
    {"МЕДВЕДЕВ",       "МЕДВЕДЕВА"      },
    {"АНТОНОВ",         "АНТОНОВА"        },
    {"ТАРАСОВ",         "ТАРАСОВА"        },
    {"ЖУКОВ",             "ЖУКОВА"            },
    {"БАРАНОВ",         "БАРАНОВА"        },
    {"ФИЛИППОВ",       "ФИЛИППОВА"      },
    {"КОМАРОВ",         "КОМАРОВА"        },
    {"ДАВЫДОВ",         "ДАВЫДОВА"        },
    {"БЕЛЯЕВ",           "БЕЛЯЕВА"          },
    {"ГЕРАСИМОВ",     "ГЕРАСИМОВА"    },
    {"БОГДАНОВ",       "БОГДАНОВА"      },
    {"ОСИПОВ",           "ОСИПОВА"          },
    {"СИДОРОВ",         "СИДОРОВА"        },
    {"МАТВЕЕВ",         "МАТВЕЕВА"        },
    {"ТИТОВ",             "ТИТОВА"            },
    {"МАРКОВ",           "МАРКОВА"          },
    {"МИРОНОВ",         "МИРОНОВА"        },
    {"КРЫЛОВ",           "КРЫЛОВА"          },
    {"КУЛИКОВ",         "КУЛИКОВА"        },
    {"КАРПОВ",           "КАРПОВА"          },
    {"ВЛАСОВ",           "ВЛАСОВА"          },
    {"МЕЛЬНИКОВ",     "МЕЛЬНИКОВА"    },
    {"ДЕНИСОВ",         "ДЕНИСОВА"        },
    {"ГАВРИЛОВ",       "ГАВРИЛОВА"      },
    {"ТИХОНОВ",         "ТИХОНОВА"        },
    {"КАЗАКОВ",         "КАЗАКОВА"        },
    {"АФАНАСЬЕВ",     "АФАНАСЬЕВА"    },
    {"ДАНИЛОВ",         "ДАНИЛОВА"        },
    {"САВЕЛЬЕВ",       "САВЕЛЬЕВА"      },
    {"ТИМОФЕЕВ",       "ТИМОФЕЕВА"      },
    {"ФОМИН",             "ФОМИНА"            },
    {"ЧЕРНОВ",           "ЧЕРНОВА"          },
    {"АБРАМОВ",         "АБРАМОВА"        },
    {"МАРТЫНОВ",       "МАРТЫНОВА"      },
    {"ЕФИМОВ",           "ЕФИМОВА"          },
    {"ФЕДОТОВ",         "ФЕДОТОВА"        },
    {"ЩЕРБАКОВ",       "ЩЕРБАКОВА"      },
    {"НАЗАРОВ",         "НАЗАРОВА"        },
    {"КАЛИНИН",         "КАЛИНИНА"        },
    {"ИСАЕВ",             "ИСАЕВА"            },
    {"ЧЕРНЫШЕВ",       "ЧЕРНЫШЕВА"      },
    {"БЫКОВ",             "БЫКОВА"            },
    {"МАСЛОВ",           "МАСЛОВА"          },
    {"РОДИОНОВ",       "РОДИОНОВА"      },
    {"КОНОВАЛОВ",     "КОНОВАЛОВА"    },
    {"ЛАЗАРЕВ",         "ЛАЗАРЕВА"        },
    {"ВОРОНИН",         "ВОРОНИНА"        },
    {"КЛИМОВ",           "КЛИМОВА"          },
    {"ФИЛАТОВ",         "ФИЛАТОВА"        },
    {"ПОНОМАРЕВ",     "ПОНОМАРЕВА"    },
    {"ГОЛУБЕВ",         "ГОЛУБЕВА"        },
    {"КУДРЯВЦЕВ",     "КУДРЯВЦЕВА"    },
    {"ПРОХОРОВ",       "ПРОХОРОВА"      },
    {"НАУМОВ",           "НАУМОВА"          },
    {"ПОТАПОВ",         "ПОТАПОВА"        },
    {"ЖУРАВЛЕВ",       "ЖУРАВЛЕВА"      },
    {"ОВЧИННИКОВ",   "ОВЧИННИКОВА"  },
    {"ТРОФИМОВ",       "ТРОФИМОВА"      },
    {"ЛЕОНОВ",           "ЛЕОНОВА"          },
    {"СОБОЛЕВ",         "СОБОЛЕВА"        },
    {"ЕРМАКОВ",         "ЕРМАКОВА"        },
    {"КОЛЕСНИКОВ",   "КОЛЕСНИКОВА"  },
    {"ГОНЧАРОВ",       "ГОНЧАРОВА"      },
    {"ЕМЕЛЬЯНОВ",     "ЕМЕЛЬЯНОВА"    },
    {"НИКИФОРОВ",     "НИКИФОРОВА"    },
    {"ГРАЧЕВ",           "ГРАЧЕВА"          },
    {"КОТОВ",             "КОТОВА"            },
    {"ГРИШИН",           "ГРИШИНА"          },
    {"ЕФРЕМОВ",         "ЕФРЕМОВА"        },
    {"АРХИПОВ",         "АРХИПОВА"        },
    {"ГРОМОВ",           "ГРОМОВА"          },
    {"КИРИЛЛОВ",       "КИРИЛЛОВА"      },
    {"МАЛЫШЕВ",         "МАЛЫШЕВА"        },
    {"ПАНОВ",             "ПАНОВА"            },
    {"МОИСЕЕВ",         "МОИСЕЕВА"        },
    {"РУМЯНЦЕВ",       "РУМЯНЦЕВА"      },
    {"АКИМОВ",           "АКИМОВА"          },
    {"КОНДРАТЬЕВ",   "КОНДРАТЬЕВА"  },
    {"БИРЮКОВ",         "БИРЮКОВА"        },
    {"ГОРБУНОВ",       "ГОРБУНОВА"      },
    {"АНИСИМОВ",       "АНИСИМОВА"      },
    {"ЕРЕМИН",           "ЕРЕМИНА"          },
    {"ТИХОМИРОВ",     "ТИХОМИРОВА"    },
    {"ГАЛКИН",           "ГАЛКИНА"          },
    {"ЛУКЬЯНОВ",       "ЛУКЬЯНОВА"      },
    {"МИХЕЕВ",           "МИХЕЕВА"          },
    {"СКВОРЦОВ",       "СКВОРЦОВА"      },
    {"ЮДИН",               "ЮДИНА"              },
    {"БЕЛОУСОВ",       "БЕЛОУСОВА"      },
    {"НЕСТЕРОВ",       "НЕСТЕРОВА"      },
    {"СИМОНОВ",         "СИМОНОВА"        },
    {"ПРОКОФЬЕВ",     "ПРОКОФЬЕВА"    },
    {"ХАРИТОНОВ",     "ХАРИТОНОВА"    },
    {"КНЯЗЕВ",           "КНЯЗЕВА"          },
    {"ЦВЕТКОВ",         "ЦВЕТКОВА"        },
    {"ЛЕВИН",             "ЛЕВИНА"            },
    {"МИТРОФАНОВ",   "МИТРОФАНОВА"  },
    {"ВОРОНОВ",         "ВОРОНОВА"        },
    {"АКСЕНОВ",         "АКСЕНОВА"        },
    {"СОФРОНОВ",       "СОФРОНОВА"      },
    {"МАЛЬЦЕВ",         "МАЛЬЦЕВА"        },
    {"ЛОГИНОВ",         "ЛОГИНОВА"        },
    {"ГОРШКОВ",         "ГОРШКОВА"        },
    {"САВИН",             "САВИНА"            },
    {"КРАСНОВ",         "КРАСНОВА"        },
    {"МАЙОРОВ",         "МАЙОРОВА"        },
    {"ДЕМИДОВ",         "ДЕМИДОВА"        },
    {"ЕЛИСЕЕВ",         "ЕЛИСЕЕВА"        },
    {"РЫБАКОВ",         "РЫБАКОВА"        },
    {"САФОНОВ",         "САФОНОВА"        },
    {"ПЛОТНИКОВ",     "ПЛОТНИКОВА"    },
    {"ДЕМИН",             "ДЕМИНА"            },
    {"ХОХЛОВ",           "ХОХЛОВА"          },
    {"ФАДЕЕВ",           "ФАДЕЕВА"          },
    {"МОЛЧАНОВ",       "МОЛЧАНОВА"      },
    {"ИГНАТОВ",         "ИГНАТОВА"        },
    {"ЛИТВИНОВ",       "ЛИТВИНОВА"      },
    {"ЕРШОВ",             "ЕРШОВА"            },
    {"УШАКОВ",           "УШАКОВА"          },
    {"ДЬЯЧКОВ",         "ДЬЯЧКОВА"        },
    {"СЕЛЕЗНЕВ",       "СЕЛЕЗНЕВА"      },
    {"КОСТИН",           "КОСТИНА"          },
    {"ТРЕТЬЯКОВ",     "ТРЕТЬЯКОВА"    },
    {"БЕСПАЛОВ",       "БЕСПАЛОВА"      },
    {"КОВАЛЕНКО",     "КОВАЛЕНКО"      },
    {"БОНДАРЕНКО",   "БОНДАРЕНКО"    },
    {"ШЕВЧЕНКО",       "ШЕВЧЕНКО"        },
    {"КРАВЧЕНКО",     "КРАВЧЕНКО"      },
    {"ЧЕРНЫХ",           "ЧЕРНЫХ"            },
    {"СЕДЫХ",             "СЕДЫХ"              },
    {"ЗАРЕЦКИЙ",       "ЗАРЕЦКАЯ"        },
    {"ПОКРОВСКИЙ",   "ПОКРОВСКАЯ"    },
    {"ВЫСОЦКИЙ",       "ВЫСОЦКАЯ"        },
    {"ГОРСКИЙ",         "ГОРСКАЯ"          },
    {"ТОЛСТОЙ",         "ТОЛСТАЯ"          },
    {"БЕЛЫЙ",             "БЕЛАЯ"              },
};

struct FirstName {
    const char* name;
    const char* sonPatronymic;      // the patronymic this name gives a son
    const char* daughterPatronymic; // and a daughter
};

static const FirstName MaleNames[] = {
    {"АЛЕКСАНДР",   "АЛЕКСАНДРОВИЧ",   "АЛЕКСАНДРОВНА"  },
    {"СЕРГЕЙ",         "СЕРГЕЕВИЧ",           "СЕРГЕЕВНА"          },
    {"ВЛАДИМИР",     "ВЛАДИМИРОВИЧ",     "ВЛАДИМИРОВНА"    },
    {"АЛЕКСЕЙ",       "АЛЕКСЕЕВИЧ",         "АЛЕКСЕЕВНА"        },
    {"АНДРЕЙ",         "АНДРЕЕВИЧ",           "АНДРЕЕВНА"          },
    {"ДМИТРИЙ",       "ДМИТРИЕВИЧ",         "ДМИТРИЕВНА"        },
    {"НИКОЛАЙ",       "НИКОЛАЕВИЧ",         "НИКОЛАЕВНА"        },
    {"ИВАН",             "ИВАНОВИЧ",             "ИВАНОВНА"            },
    {"МИХАИЛ",         "МИХАЙЛОВИЧ",         "МИХАЙЛОВНА"        },
    {"ЕВГЕНИЙ",       "ЕВГЕНЬЕВИЧ",         "ЕВГЕНЬЕВНА"        },
    {"ВИКТОР",         "ВИКТОРОВИЧ",         "ВИКТОРОВНА"        },
    {"ЮРИЙ",             "ЮРЬЕВИЧ",               "ЮРЬЕВНА"              },
    {"ОЛЕГ",             "ОЛЕГОВИЧ",             "ОЛЕГОВНА"            },
    {"ПАВЕЛ",           "ПАВЛОВИЧ",             "ПАВЛОВНА"            },
    {"ИГОРЬ",           "ИГОРЕВИЧ",             "ИГОРЕВНА"            },
    {"АНАТОЛИЙ",     "АНАТОЛЬЕВИЧ",       "АНАТОЛЬЕВНА"      },
    {"ВАСИЛИЙ",       "ВАСИЛЬЕВИЧ",         "ВАСИЛЬЕВНА"        },
    {"ПЕТР",             "ПЕТРОВИЧ",             "ПЕТРОВНА"            },
    {"ВЯЧЕСЛАВ",     "ВЯЧЕСЛАВОВИЧ",     "ВЯЧЕСЛАВОВНА"    },
    {"ВАЛЕРИЙ",       "ВАЛЕРЬЕВИЧ",         "ВАЛЕРЬЕВНА"        },
    {"ГЕННАДИЙ",     "ГЕННАДЬЕВИЧ",       "ГЕННАДЬЕВНА"      },
    {"КОНСТАНТИН", "КОНСТАНТИНОВИЧ", "КОНСТАНТИНОВНА"},
    {"БОРИС",           "БОРИСОВИЧ",           "БОРИСОВНА"          },
    {"ЛЕОНИД",         "ЛЕОНИДОВИЧ",         "ЛЕОНИДОВНА"        },
    {"ГРИГОРИЙ",     "ГРИГОРЬЕВИЧ",       "ГРИГОРЬЕВНА"      },
    {"ВИТАЛИЙ",       "ВИТАЛЬЕВИЧ",         "ВИТАЛЬЕВНА"        },
    {"РОМАН",           "РОМАНОВИЧ",           "РОМАНОВНА"          },
    {"ЭДУАРД",         "ЭДУАРДОВИЧ",         "ЭДУАРДОВНА"        },
    {"СТАНИСЛАВ",   "СТАНИСЛАВОВИЧ",   "СТАНИСЛАВОВНА"  },
    {"ДЕНИС",           "ДЕНИСОВИЧ",           "ДЕНИСОВНА"          },
    {"МАКСИМ",         "МАКСИМОВИЧ",         "МАКСИМОВНА"        },
    {"ИЛЬЯ",             "ИЛЬИЧ",                   "ИЛЬИНИЧНА"          },
    {"ФЕДОР",           "ФЕДОРОВИЧ",           "ФЕДОРОВНА"          },
    {"СТЕПАН",         "СТЕПАНОВИЧ",         "СТЕПАНОВНА"        },
    {"АРКАДИЙ",       "АРКАДЬЕВИЧ",         "АРКАДЬЕВНА"        },
    {"ЕГОР",             "ЕГОРОВИЧ",             "ЕГОРОВНА"            },
    {"ТИМОФЕЙ",       "ТИМОФЕЕВИЧ",         "ТИМОФЕЕВНА"        },
    {"НИКИТА",         "НИКИТИЧ",               "НИКИТИЧНА"          },
    {"СЕМЕН",           "СЕМЕНОВИЧ",           "СЕМЕНОВНА"          },
    {"ЯКОВ",             "ЯКОВЛЕВИЧ",           "ЯКОВЛЕВНА"          },
};

static const char* const FemaleNames[] = {
    "ЕЛЕНА",   "ТАТЬЯНА",    "ОЛЬГА",     "НАТАЛЬЯ",   "ИРИНА",  "СВЕТЛАНА", "МАРИНА",  "ГАЛИНА",
    "ЛЮДМИЛА", "НАДЕЖДА",    "ВАЛЕНТИНА", "ЕКАТЕРИНА", "АННА",   "МАРИЯ",    "ЛЮБОВЬ",  "ТАМАРА",
    "НИНА",    "ЛАРИСА",     "ВЕРА",      "ЮЛИЯ",      "ОКСАНА", "СОФЬЯ",    "ЗОЯ",     "ЛИДИЯ",
    "РАИСА",   "АЛЛА",       "ВИКТОРИЯ",  "ЖАННА",     "ДАРЬЯ",  "КСЕНИЯ",   "ЕВГЕНИЯ", "АНТОНИНА",
    "КЛАВДИЯ", "АЛЕКСАНДРА", "ЗИНАИДА",   "ЛИЛИЯ",     "ПОЛИНА", "ИННА",     "ВАЛЕРИЯ", "АНАСТАСИЯ",
};

static const char* const Streets[] = {
    "ЛЕНИНА УЛ",      "МИРА ПР",          "СОВЕТСКАЯ УЛ",       "ЦЕНТРАЛЬНАЯ УЛ",  "МОЛОДЕЖНАЯ УЛ",
    "ШКОЛЬНАЯ УЛ",    "САДОВАЯ УЛ",       "ЛЕСНАЯ УЛ",          "НОВАЯ УЛ",        "НАБЕРЕЖНАЯ УЛ",
    "ГАГАРИНА УЛ",    "ПУШКИНА УЛ",       "КИРОВА УЛ",          "ЧЕХОВА УЛ",       "ГОРЬКОГО УЛ",
    "ОКТЯБРЬСКАЯ УЛ", "ПЕРВОМАЙСКАЯ УЛ",  "КОМСОМОЛЬСКАЯ УЛ",   "ПОБЕДЫ ПР",       "ЗЕЛЕНАЯ УЛ",
    "ПОЛЕВАЯ УЛ",     "СТРОИТЕЛЕЙ ПР",    "МАЯКОВСКОГО УЛ",     "ЛЕРМОНТОВА УЛ",   "СУВОРОВА УЛ",
    "ЖУКОВА УЛ",      "КАРЛА МАРКСА УЛ",  "ФРУНЗЕ УЛ",          "ДЗЕРЖИНСКОГО УЛ", "ЧАПАЕВА УЛ",
    "ЛОМОНОСОВА УЛ",  "ТОЛСТОГО УЛ",      "ГОГОЛЯ УЛ",          "ВОКЗАЛЬНАЯ УЛ",   "РАБОЧАЯ УЛ",
    "ЗАВОДСКАЯ УЛ",   "СТРОИТЕЛЬНАЯ УЛ",  "ЮБИЛЕЙНАЯ УЛ",       "СОЛНЕЧНАЯ УЛ",    "СИРЕНЕВЫЙ БУЛ",
    "ВЕСЕННЯЯ УЛ",    "ПРОЛЕТАРСКАЯ УЛ",  "КРАСНОАРМЕЙСКАЯ УЛ", "ПАРКОВАЯ УЛ",     "ПОЧТОВАЯ УЛ",
    "КОСМОНАВТОВ ПР", "ЭНТУЗИАСТОВ Ш",    "МИЧУРИНА УЛ",        "ЛУГОВАЯ УЛ",      "РЕЧНАЯ УЛ",
    "ТРУДА УЛ",       "КУТУЗОВА УЛ",      "ОСТРОВСКОГО УЛ",     "НЕКРАСОВА УЛ",    "ТУРГЕНЕВА УЛ",
    "ПЕСЧАНАЯ УЛ",    "КАЛИНИНА УЛ",      "СВЕРДЛОВА УЛ",       "ГВАРДЕЙСКАЯ УЛ",  "ВОЛОДАРСКОГО УЛ",
    "МОСКОВСКИЙ ПР",  "ЛЕНИНГРАДСКАЯ УЛ", "ИНДУСТРИАЛЬНАЯ УЛ",  "ХОЛМИСТЫЙ ПЕР",   "ТИХИЙ ПЕР",
    "ОЗЕРНАЯ УЛ",     "БЕРЕЗОВАЯ УЛ",     "ДОРОЖНАЯ УЛ",        "МАТРОСОВА УЛ",    "ЩОРСА УЛ",
};

static const char* const HouseLetters[] = {"А", "Б", "В", "Г"};

static uint64_t Mix(uint64_t value) {
    // splitmix64's finaliser: every input bit reaches every output bit.
    value += 0x9E3779B97F4A7C15ull;
    value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ull;
    value = (value ^ (value >> 27)) * 0x94D049BB133111EBull;
    return value ^ (value >> 31);
}

// A permutation of 0 .. 2^24 - 1: a four-round Feistel network keyed by the seed.
static uint32_t Permute24(uint64_t seed, uint32_t value) {
    uint32_t left = value >> 12, right = value & 0xFFF;
    for (uint32_t round = 0; round < 4; round++) {
        uint32_t next = left ^ uint32_t(Mix(Mix(seed + round) ^ right) & 0xFFF);
        left = right;
        right = next;
    }
    return left << 12 | right;
}

// A permutation of 0 .. range - 1 (range at most 2^24): walk the cycle until the value lands inside.
static uint32_t PermuteRange(uint64_t seed, uint32_t value, uint32_t range) {
    do
        value = Permute24(seed, value);
    while (value >= range);
    return value;
}

static int ToDevice(const char* utf8, std::string* device) {
    std::u16string wide = WideFromUtf8(utf8);
    if (!WideFitsDevice(wide.c_str(), int(wide.size()))) return -1;
    char buffer[128];
    int length = WideToDevice(wide.c_str(), int(wide.size()), buffer, sizeof buffer);
    device->assign(buffer, size_t(length));
    return 0;
}

static int AddToTable(std::vector<std::string>* table, const char* utf8) {
    std::string device;
    if (ToDevice(utf8, &device) != 0) return -1;
    table->push_back(device);
    return 0;
}

int PrepareDemoDirectory(DemoDirectory* directory, uint64_t seed, int count) {
    *directory = DemoDirectory();
    if (count < 0 || count > DemoMaximumSubscribers) return -1;
    directory->seed = seed;
    directory->count = count;
    // Numbers beginning with 2 to 9, as a city's are, while they suffice; the whole 7-digit range beyond.
    if (count <= 8000000) {
        directory->phoneBase = 2000000;
        directory->phoneRange = 8000000;
    } else {
        directory->phoneBase = 0;
        directory->phoneRange = 10000000;
    }
    int failed = 0;
    for (const SurnameForms& surname : Surnames) {
        failed |= AddToTable(&directory->maleSurnames, surname.male);
        failed |= AddToTable(&directory->femaleSurnames, surname.female);
    }
    for (const FirstName& name : MaleNames) {
        failed |= AddToTable(&directory->maleFirstNames, name.name);
        failed |= AddToTable(&directory->malePatronymics, name.sonPatronymic);
        failed |= AddToTable(&directory->femalePatronymics, name.daughterPatronymic);
    }
    for (const char* name : FemaleNames)
        failed |= AddToTable(&directory->femaleFirstNames, name);
    for (const char* street : Streets)
        failed |= AddToTable(&directory->streets, street);
    for (const char* letter : HouseLetters)
        failed |= AddToTable(&directory->houseLetters, letter);
    return failed ? -2 : 0;
}

// A skewed choice: small indexes (the common names, low house numbers) come up more often.
static size_t SkewedIndex(uint64_t random, size_t size) {
    double unit = double(random & 0xFFFFFFFF) / 4294967296.0;
    size_t index = size_t(unit * unit * double(size));
    return index < size ? index : size - 1;
}

static void Append(char* destination, size_t capacity, size_t* length, const std::string& text) {
    size_t room = capacity - 1 - *length;
    size_t take = text.size() < room ? text.size() : room;
    std::memcpy(destination + *length, text.data(), take);
    *length += take;
    destination[*length] = 0;
}

static void AppendNumber(char* destination, size_t capacity, size_t* length, unsigned number) {
    Append(destination, capacity, length, std::to_string(number));
}

void MakeDemoSubscriber(const DemoDirectory* directory, int index, DemoSubscriber* subscriber) {
    uint64_t first = Mix(directory->seed ^ Mix(uint64_t(index) + 1));
    uint64_t second = Mix(first);
    subscriber->phone =
        directory->phoneBase + PermuteRange(directory->seed, uint32_t(index), directory->phoneRange);

    bool female = (first & 1) != 0;
    size_t surname = SkewedIndex(first >> 1, directory->maleSurnames.size());
    size_t father = (first >> 40) % directory->maleFirstNames.size();
    size_t length = 0;
    subscriber->name[0] = 0;
    Append(subscriber->name, sizeof subscriber->name, &length,
           female ? directory->femaleSurnames[surname] : directory->maleSurnames[surname]);
    Append(subscriber->name, sizeof subscriber->name, &length, " ");
    if (female)
        Append(subscriber->name, sizeof subscriber->name, &length,
               directory->femaleFirstNames[(first >> 50) % directory->femaleFirstNames.size()]);
    else
        Append(subscriber->name, sizeof subscriber->name, &length,
               directory->maleFirstNames[(first >> 50) % directory->maleFirstNames.size()]);
    Append(subscriber->name, sizeof subscriber->name, &length, " ");
    Append(subscriber->name, sizeof subscriber->name, &length,
           female ? directory->femalePatronymics[father] : directory->malePatronymics[father]);

    length = 0;
    subscriber->street[0] = 0;
    Append(subscriber->street, sizeof subscriber->street, &length,
           directory->streets[SkewedIndex(second, directory->streets.size())]);

    length = 0;
    subscriber->house[0] = 0;
    AppendNumber(subscriber->house, sizeof subscriber->house, &length,
                 unsigned(1 + SkewedIndex(second >> 32, 160)));
    unsigned houseKind = unsigned((second >> 24) % 20);
    if (houseKind < 2)
        Append(subscriber->house, sizeof subscriber->house, &length,
               directory->houseLetters[(second >> 20) % directory->houseLetters.size()]);
    else if (houseKind == 2) {
        Append(subscriber->house, sizeof subscriber->house, &length, "/");
        AppendNumber(subscriber->house, sizeof subscriber->house, &length, unsigned(1 + (second >> 16) % 4));
    }

    // About one subscriber in six lives in a house of their own: no flat.
    length = 0;
    subscriber->flat[0] = 0;
    if ((second >> 8) % 6 != 0)
        AppendNumber(subscriber->flat, sizeof subscriber->flat, &length, unsigned(1 + (second >> 40) % 240));
}
