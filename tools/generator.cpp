#include "generator.h"

#include "database.h"
#include "store.h"

#include <QDate>
#include <QStringList>
#include <QVariantList>
#include <algorithm>
#include <map>
#include <vector>

namespace kadrol {

namespace {

// A small generator of our own: std distributions differ between library versions, and the
// demo agency must be the same everywhere.
class Random {
public:
    explicit Random(unsigned seed) : m_state(seed * 2654435761u + 1) {}
    unsigned next()
    {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return m_state;
    }
    int below(int n) { return n <= 0 ? 0 : static_cast<int>(next() % static_cast<unsigned>(n)); }
    int between(int lo, int hi) { return lo + below(hi - lo + 1); }
    bool chance(int percent) { return below(100) < percent; }
    template <class T, size_t N> const T& pick(const T (&items)[N]) { return items[below(N)]; }
    QDate dateBetween(const QDate& from, const QDate& to)
    {
        return from.addDays(below(static_cast<int>(from.daysTo(to)) + 1));
    }

private:
    unsigned m_state;
};

const char* const kSurnames[] = {
    "Иванов",      "Смирнов",   "Кузнецов",   "Попов",      "Васильев", "Петров",     "Соколов",
    "Михайлов",    "Новиков",   "Фёдоров",    "Морозов",    "Волков",   "Алексеев",   "Лебедев",
    "Семёнов",     "Егоров",    "Павлов",     "Козлов",     "Степанов", "Николаев",   "Орлов",
    "Андреев",     "Макаров",   "Никитин",    "Захаров",    "Зайцев",   "Соловьёв",   "Борисов",
    "Яковлев",     "Григорьев", "Романов",    "Воробьёв",   "Сергеев",  "Кузьмин",    "Фролов",
    "Александров", "Дмитриев",  "Королёв",    "Гусев",      "Киселёв",  "Ильин",      "Максимов",
    "Поляков",     "Сорокин",   "Виноградов", "Ковалёв",    "Белов",    "Медведев",   "Антонов",
    "Тарасов",     "Жуков",     "Баранов",    "Филиппов",   "Комаров",  "Давыдов",    "Беляев",
    "Герасимов",   "Богданов",  "Осипов",     "Сидоров",    "Матвеев",  "Титов",      "Марков",
    "Миронов",     "Крылов",    "Куликов",    "Карпов",     "Власов",   "Мельников",  "Денисов",
    "Гаврилов",    "Тихонов",   "Казаков",    "Афанасьев",  "Данилов",  "Савельев",   "Тимофеев",
    "Фомин",       "Чернов",    "Абрамов",    "Мартынов",   "Ефимов",   "Федотов",    "Щербаков",
    "Назаров",     "Калинин",   "Исаев",      "Чернышёв",   "Быков",    "Маслов",     "Родионов",
    "Коновалов",   "Лазарев",   "Воронин",    "Климов",     "Филатов",  "Пономарёв",  "Голубев",
    "Кудрявцев",   "Прохоров",  "Наумов",     "Потапов",    "Журавлёв", "Овчинников", "Трофимов",
    "Леонов",      "Соболев",   "Ермаков",    "Колесников", "Гончаров", "Емельянов",  "Никифоров",
    "Грачёв",      "Котов",     "Гришин",     "Ефремов",    "Архипов",  "Громов",     "Кириллов",
    "Малышев",     "Панов",     "Моисеев",    "Румянцев",   "Акимов",   "Кондратьев", "Бирюков",
    "Горбунов",    "Анисимов",  "Ёлкин"};
const char* const kMaleNames[] = {
    "Александр", "Алексей",  "Андрей",  "Антон",   "Артём", "Борис", "Вадим",  "Валерий",
    "Виктор",    "Владимир", "Дмитрий", "Евгений", "Иван",  "Игорь", "Илья",   "Кирилл",
    "Максим",    "Михаил",   "Николай", "Олег",    "Павел", "Роман", "Сергей", "Юрий"};
const char* const kFemaleNames[] = {"Анна",   "Алёна",     "Валентина", "Вера",    "Галина",
                                    "Дарья",  "Екатерина", "Елена",     "Ирина",   "Наталья",
                                    "Нина",   "Ольга",     "Светлана",  "Татьяна", "Юлия",
                                    "Марина", "Мария",     "Людмила",   "Ксения",  "Полина"};
const char* const kPatronymicRoots[] = {
    "Александров", "Алексеев", "Андреев", "Борисов", "Викторов", "Владимиров",
    "Дмитриев",    "Евгеньев", "Иванов",  "Игорев",  "Михайлов", "Николаев",
    "Олегов",      "Павлов",   "Петров",  "Сергеев", "Юрьев",    "Фёдоров"};
const char* const kStreets[] = {"ул. Ленина",     "пр. Мира",      "ул. Садовая",   "ул. Гагарина",
                                "Невский пр.",    "ул. Пушкина",   "ул. Советская", "ул. Лесная",
                                "Московский пр.", "ул. Строителей"};
const char* const kEmployers[] = {
    "ООО «Вектор»",      "АО «Северсталь-Сервис»", "ООО «Альфа-Трейд»", "ЗАО «Балтика-Логистик»",
    "ООО «Ромашка»",     "ПАО «Энергосбыт»",       "ООО «ТехноСфера»",  "ИП Кузнецов",
    "ООО «Строймонтаж»", "ГУП «Водоканал»",        "ООО «Медиа-Плюс»",  "АО «Промбанк»"};
const char* const kPositions[] = {"бухгалтер",
                                  "менеджер по продажам",
                                  "секретарь-референт",
                                  "программист",
                                  "водитель",
                                  "инженер-конструктор",
                                  "юрист",
                                  "кладовщик",
                                  "главный бухгалтер",
                                  "системный администратор",
                                  "офис-менеджер",
                                  "экономист",
                                  "маркетолог",
                                  "логист"};
const char* const kQualities[] = {
    "коммуникабелен, исполнителен",         "ответственная, пунктуальная",
    "аккуратен, внимателен к мелочам",      "лидерские качества",
    "стрессоустойчив, быстро обучается",    "спокойный, доброжелательный",
    "инициативен, умеет работать в команде"};
const char* const kSchools[] = {"СПбГУ",
                                "МГУ им. М. В. Ломоносова",
                                "ЛЭТИ",
                                "Политехнический университет",
                                "Финансово-экономический университет",
                                "Колледж связи",
                                "Техникум транспорта",
                                "Институт культуры"};
const char* const kInterviewers[] = {"Смирнова Е. А.", "Волков Д. С.", "Орлова Н. П.",
                                     "Петрова И. В."};
const char* const kResults[] = {"рекомендован к представлению клиенту",
                                "требуется второе собеседование", "не подходит по опыту",
                                "хорошее впечатление, ждёт предложений", "отказался от вакансии"};

// Name lists of a working agency, written into the editable lists of a fresh folder.
const char* const kLanguages[] = {"Английский",  "Немецкий",  "Французский", "Испанский",
                                  "Итальянский", "Китайский", "Финский",     "Японский"};
const char* const kRegions[] = {
    "Адмиралтейский", "Василеостровский", "Выборгский", "Калининский", "Кировский",   "Московский",
    "Невский",        "Петроградский",    "Приморский", "Фрунзенский", "Центральный", "Область"};
const char* const kTowns[] = {"Санкт-Петербург", "Москва", "Петрозаводск", "Великий Новгород",
                              "Псков",           "Выборг", "Гатчина",      "Мурманск"};
const char* const kCountries[] = {"Россия", "Беларусь", "Казахстан", "Украина",
                                  "Латвия", "Эстония",  "Финляндия"};
const char* const kStates[] = {"Ищет работу", "Направлен к клиенту", "Трудоустроен нами",
                               "Трудоустроился сам", "Временно не ищет"};
const char* const kInformed[] = {"Газета «Работа для Вас»", "Сайт агентства", "Знакомые", "Радио",
                                 "Выставка вакансий",       "Интернет-портал"};
const char* const kSkills[] = {
    "1С:Бухгалтерия", "Делопроизводство",       "Слепой десятипальцевый набор",
    "AutoCAD",        "Переговоры с клиентами", "Кадровый учёт",
    "Складской учёт", "Работа с кассой",        "Фото- и видеосъёмка"};
const char* const kEduTypes[] = {"Высшее",  "Неполное высшее", "Среднее специальное",
                                 "Среднее", "Курсы",           "Второе высшее"};
const char* const kEduProfiles[] = {"Экономическое", "Техническое", "Гуманитарное",
                                    "Юридическое",   "Медицинское", "Педагогическое"};
const char* const kEduSpecs[] = {"Бухучёт и аудит", "Менеджмент", "Радиотехника",   "Юриспруденция",
                                 "Информатика",     "Филология",  "Машиностроение", "Маркетинг"};
const char* const kFields[] = {
    "Торговля", "Финансы",       "Производство", "Транспорт",
    "IT",       "Строительство", "Услуги",       "Государственная служба"};
const char* const kDirections[] = {
    "Продажи",    "Бухгалтерия",           "Администрирование",        "Логистика",
    "Разработка", "Управление персоналом", "Юридическое сопровождение"};

struct CatalogNode {
    const char* sphere;
    const char* group;
    std::vector<const char*> directions;
    std::vector<const char*> specialities;
};
const CatalogNode kCatalog[] = {
    {"Экономика и финансы",
     "Бухгалтерия",
     {"Учёт", "Аудит"},
     {"Главный бухгалтер", "Бухгалтер-кассир"}},
    {"Экономика и финансы", "Банки", {"Кредитование"}, {"Операционист", "Кредитный инспектор"}},
    {"Информационные технологии",
     "Программирование",
     {"Веб-разработка", "Базы данных"},
     {"Программист C++", "Тестировщик"}},
    {"Информационные технологии", "Сети и оборудование", {}, {"Системный администратор"}},
    {"Торговля",
     "Оптовая торговля",
     {"Продажи"},
     {"Менеджер по продажам", "Торговый представитель"}},
    {"Торговля", "Розничная торговля", {}, {"Продавец-консультант", "Товаровед"}},
    {"Офис", "Секретариат", {}, {"Секретарь-референт", "Офис-менеджер"}},
    {"Транспорт",
     "Автотранспорт",
     {"Грузоперевозки"},
     {"Водитель кат. B", "Водитель кат. C", "Логист"}},
    {"Производство", "Машиностроение", {"Конструирование"}, {"Инженер-конструктор", "Технолог"}},
};

const char* const kFirmNames[] = {"Балтийская торговая компания",
                                  "Невские технологии",
                                  "Северный банк развития",
                                  "Петротранс",
                                  "СтройИнвест",
                                  "Ладога-Продукт",
                                  "Экспресс-Логистик",
                                  "Финансовый дом «Аврора»",
                                  "Медицинский центр «Здоровье»",
                                  "Типография «Печатный двор»",
                                  "Агрохолдинг «Нива»",
                                  "Оптика-Сервис",
                                  "Гостиница «Октябрьская»",
                                  "IT-Парк",
                                  "Завод «Электросила-Сервис»"};
const char* const kVacancies[] = {"Главный бухгалтер",
                                  "Менеджер по продажам",
                                  "Секретарь",
                                  "Программист",
                                  "Водитель-экспедитор",
                                  "Системный администратор",
                                  "Офис-менеджер",
                                  "Юрист",
                                  "Логист",
                                  "Инженер-конструктор"};

class Writer {
public:
    explicit Writer(kdb::Database& db) : m_db(db) {}
    int insert(const QString& table, const QStringList& columns, const QVariantList& values)
    {
        QString marks;
        for (int i = 0; i < columns.size(); ++i)
            marks += i ? QStringLiteral(",?") : QStringLiteral("?");
        QStringList quoted;
        for (const QString& c : columns)
            quoted << QLatin1Char('"') + c + QLatin1Char('"');
        m_db.executeStoreSql(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                 .arg(table, quoted.join(QLatin1Char(',')), marks),
                             values);
        return ++m_rows;
    }
    template <size_t N> void nameList(const QString& table, const char* const (&names)[N])
    {
        for (const char* n : names)
            insert(table, {QStringLiteral("Name")}, {QString::fromUtf8(n)});
    }
    int keyOf(const QString& table, const QString& name)
    {
        auto& cache = m_keys[table];
        auto it = cache.find(name);
        if (it != cache.end())
            return it->second;
        insert(table, {QStringLiteral("Name")}, {name});
        const int key = static_cast<int>(m_db.store().lastInsertRowId());
        cache.emplace(name, key);
        return key;
    }
    int rows() const { return m_rows; }

private:
    kdb::Database& m_db;
    int m_rows = 0;
    std::map<QString, std::map<QString, int>> m_keys;
};

QString phone(Random& r)
{
    return QStringLiteral("(812) %1-%2-%3")
        .arg(r.between(200, 999))
        .arg(r.between(10, 99), 2, 10, QLatin1Char('0'))
        .arg(r.between(10, 99), 2, 10, QLatin1Char('0'));
}

QString mobile(Random& r)
{
    return QStringLiteral("+7 9%1 %2-%3-%4")
        .arg(r.between(10, 99))
        .arg(r.between(100, 999))
        .arg(r.between(10, 99), 2, 10, QLatin1Char('0'))
        .arg(r.between(10, 99), 2, 10, QLatin1Char('0'));
}

QString female(const QString& surname)
{
    if (surname.endsWith(QStringLiteral("ов")) || surname.endsWith(QStringLiteral("ев")) ||
        surname.endsWith(QStringLiteral("ёв")) || surname.endsWith(QStringLiteral("ин")))
        return surname + QStringLiteral("а");
    return surname;
}

} // namespace

AgencyCounts generateAgency(kdb::Database& db, const AgencyOptions& options)
{
    Random r(options.seed);
    Writer w(db);
    AgencyCounts counts;
    const QDate today(2026, 12, 1); // fixed, so that the agency does not age between runs
    kdb::Database::Transaction tx(db);

    w.nameList(QStringLiteral("lang"), kLanguages);
    w.nameList(QStringLiteral("region"), kRegions);
    w.nameList(QStringLiteral("town"), kTowns);
    w.nameList(QStringLiteral("cntry"), kCountries);
    w.nameList(QStringLiteral("sost"), kStates);
    w.nameList(QStringLiteral("infrm"), kInformed);
    w.nameList(QStringLiteral("spnav"), kSkills);
    w.nameList(QStringLiteral("tipedct"), kEduTypes);
    w.nameList(QStringLiteral("edprofl"), kEduProfiles);
    w.nameList(QStringLiteral("edspclz"), kEduSpecs);
    w.nameList(QStringLiteral("oblst"), kFields);
    w.nameList(QStringLiteral("naprv"), kDirections);
    for (const char* folder : {"Договоры", "Анкеты", "Письма клиентам"})
        w.insert(QStringLiteral("libr"), {QStringLiteral("Name")}, {QString::fromUtf8(folder)});

    // The catalog: every node kind, (S,0,0,0), (S,G,0,0), (S,G,N,0), (S,G,0,P), (S,G,N,P).
    struct Position {
        int s, g, n, p;
    };
    std::vector<Position> positions;
    const QStringList katCols{QStringLiteral("Sfr"), QStringLiteral("Napr"), QStringLiteral("Grp"),
                              QStringLiteral("Spec")};
    std::map<int, bool> sphereWritten;
    for (const CatalogNode& node : kCatalog) {
        const int s = w.keyOf(QStringLiteral("sfera"), QString::fromUtf8(node.sphere));
        const int g = w.keyOf(QStringLiteral("grp"), QString::fromUtf8(node.group));
        if (!sphereWritten[s]) {
            w.insert(QStringLiteral("katalog"), katCols, {s, 0, 0, 0});
            sphereWritten[s] = true;
        }
        w.insert(QStringLiteral("katalog"), katCols, {s, 0, g, 0});
        positions.push_back({s, g, 0, 0});
        for (size_t i = 0; i < node.specialities.size(); ++i) {
            const int p =
                w.keyOf(QStringLiteral("speclz"), QString::fromUtf8(node.specialities[i]));
            int n = 0;
            if (!node.directions.empty() && i % 2 == 0) {
                n = w.keyOf(QStringLiteral("knapr"),
                            QString::fromUtf8(node.directions[i / 2 % node.directions.size()]));
                w.insert(QStringLiteral("katalog"), katCols, {s, n, g, 0});
            }
            w.insert(QStringLiteral("katalog"), katCols, {s, n, g, p});
            positions.push_back({s, g, n, p});
        }
    }

    const QStringList candidateCols{
        "Keyr",  "NameF",  "NameI",  "NameO",   "DatBd",  "TelWr",   "Firm",    "Dol",
        "Note",  "Bal",    "MF",     "PaspS",   "PaspN",  "PaspV",   "PaspD",   "Adr",
        "Tel",   "Marr",   "Chil",   "Voen",    "Grag",   "Comptr",  "Stenogr", "Fax",
        "Copir", "Autopr", "Autom",  "Ntrud",   "Izobr",  "Oklmin",  "Datreg",  "Sost",
        "Kur",   "Koman",  "Prov",   "Valut",   "Arch",   "Sfr",     "Grp",     "Napr",
        "Spec",  "Region", "Wrknow", "Katavtm", "Telsot", "Compens", "Admin",   "Sled",
        "Ugol",  "Infrm",  "Tn2",    "Townn",   "Email",  "Cntry",   "Twnout",  "Cntryout",
        "Cvint", "Prizuv"};
    const int langCount = static_cast<int>(std::size(kLanguages));
    const int firstKey = 1;
    for (int i = 0; i < options.candidates; ++i) {
        const int key = firstKey + i;
        const bool man = r.chance(55);
        QString surname = QString::fromUtf8(r.pick(kSurnames));
        if (!man)
            surname = female(surname);
        const QString name = QString::fromUtf8(man ? r.pick(kMaleNames) : r.pick(kFemaleNames));
        QVariant patronymic;
        if (!r.chance(4)) // a few foreigners without a patronymic
            patronymic = QString::fromUtf8(r.pick(kPatronymicRoots)) +
                         (man ? QStringLiteral("ич") : QStringLiteral("на"));
        const QDate born = r.dateBetween(QDate(1955, 1, 1), QDate(2006, 12, 31));
        const int valut = r.chance(80) ? 1 : 2;
        const int salary = valut == 1 ? r.between(15, 250) * 1000 : r.between(5, 60) * 100;
        const bool permit = r.chance(45);
        const Position& pos =
            positions[static_cast<size_t>(r.below(static_cast<int>(positions.size())))];
        const int region = r.between(1, static_cast<int>(std::size(kRegions)));
        QVariantList v{
            key,
            surname,
            name,
            patronymic,
            born,
            phone(r),
            QString::fromUtf8(r.pick(kEmployers)),
            QString::fromUtf8(r.pick(kPositions)),
            QString::fromUtf8(r.pick(kQualities)),
            r.between(1, 5),
            man,
            QStringLiteral("40 0%1 %2").arg(r.between(1, 9)).arg(r.between(100000, 999999)),
            1,
            QStringLiteral("%1 отделом милиции").arg(r.between(1, 90)),
            born.addYears(r.chance(70) ? 20 : 45).addDays(r.between(0, 200)),
            QString::fromUtf8(r.pick(kStreets)) +
                QStringLiteral(", д. %1, кв. %2").arg(r.between(1, 120)).arg(r.between(1, 300)),
            phone(r),
            r.between(1, 5),
            r.between(0, 3),
            man && r.chance(70),
            QStringLiteral("Россия"),
            r.between(0, 4),
            r.chance(70),
            r.chance(30),
            r.chance(20),
            permit,
            permit && r.chance(60),
            r.chance(5),
            r.chance(3),
            salary,
            today.addDays(-r.between(0, 3650)),
            r.between(1, 5),
            r.chance(30),
            r.chance(60),
            r.chance(90),
            valut,
            r.chance(15) ? 1 : 0,
            pos.s,
            pos.g,
            pos.n,
            pos.p,
            region,
            r.chance(55),
            permit ? QVariant(r.between(1, 4)) : QVariant(),
            mobile(r),
            r.chance(20),
            false,
            false,
            false,
            r.between(1, static_cast<int>(std::size(kInformed))),
            QString::number(key),
            r.between(1, static_cast<int>(std::size(kTowns))),
            r.chance(70) ? QVariant(QStringLiteral("cand%1@mail.ru").arg(key)) : QVariant(),
            1,
            r.between(0, 3),
            r.chance(10),
            r.chance(30),
            false};
        w.insert(QStringLiteral("reserv"), candidateCols, v);
        ++counts.candidates;

        const int languages = r.below(4);
        for (int l = 0; l < languages; ++l) {
            w.insert(QStringLiteral("reclang"),
                     {QStringLiteral("Tabno"), QStringLiteral("Lang"), QStringLiteral("Stlang")},
                     {key, (l + r.below(langCount)) % langCount + 1, r.between(1, 4)});
            ++counts.detailRows;
        }
        const int educations = r.between(1, 2);
        QDate eduStart = born.addYears(17);
        for (int e = 0; e < educations && eduStart < today; ++e) {
            const QDate eduEnd = eduStart.addYears(r.between(1, 5));
            w.insert(
                QStringLiteral("educres"),
                {"Tabno", "DFrom", "Dto", "Tipe", "Profl", "Specl", "Zaved", "Diplom", "Kvalif"},
                {key, eduStart, eduEnd, r.between(1, static_cast<int>(std::size(kEduTypes))),
                 r.between(1, static_cast<int>(std::size(kEduProfiles))),
                 r.between(1, static_cast<int>(std::size(kEduSpecs))),
                 QString::fromUtf8(r.pick(kSchools)), QString::fromUtf8(r.pick(kEduSpecs)),
                 e == 0 ? QStringLiteral("специалист") : QStringLiteral("бакалавр")});
            eduStart = eduEnd.addMonths(r.between(0, 24));
            ++counts.detailRows;
        }
        const int jobs = r.between(1, 4);
        QDate jobStart = born.addYears(r.between(19, 24));
        for (int j = 0; j < jobs && jobStart < today; ++j) {
            QDate jobEnd = jobStart.addMonths(r.between(6, 72));
            if (jobEnd > today)
                jobEnd = today;
            w.insert(QStringLiteral("profopt"),
                     {"Tabno", "From", "To", "Stag", "Firm", "Dolgn", "Obaz", "Oblst", "Napr"},
                     {key, jobStart, jobEnd, jobStart.daysTo(jobEnd) / 365.0,
                      QString::fromUtf8(r.pick(kEmployers)), QString::fromUtf8(r.pick(kPositions)),
                      QStringLiteral("ведение участка работы, отчётность"),
                      r.between(1, static_cast<int>(std::size(kFields))),
                      r.between(1, static_cast<int>(std::size(kDirections)))});
            jobStart = jobEnd.addDays(r.between(1, 120));
            ++counts.detailRows;
        }
        const int interviews = r.below(3);
        for (int s = 0; s < interviews; ++s) {
            w.insert(QStringLiteral("sobesed"),
                     {QStringLiteral("Nn"), QStringLiteral("Dat"), QStringLiteral("Who"),
                      QStringLiteral("Res")},
                     {key, today.addDays(-r.between(0, 900)),
                      QString::fromUtf8(r.pick(kInterviewers)),
                      QString::fromUtf8(r.pick(kResults))});
            ++counts.detailRows;
        }
        if (r.chance(40)) {
            w.insert(QStringLiteral("resnavk"),
                     {QStringLiteral("Tabno"), QStringLiteral("NN"), QStringLiteral("Urov")},
                     {key, r.between(1, static_cast<int>(std::size(kSkills))), r.between(1, 3)});
            ++counts.detailRows;
        }
        if (r.chance(25)) {
            w.insert(
                QStringLiteral("recom"), {"TabNo", "Fio", "Firm", "Kontel", "Rec"},
                {key, QString::fromUtf8(r.pick(kInterviewers)),
                 QString::fromUtf8(r.pick(kEmployers)) + QStringLiteral(", руководитель отдела"),
                 phone(r), QStringLiteral("Рекомендует как надёжного сотрудника")});
            ++counts.detailRows;
        }
        if (r.chance(20)) {
            const Position& extra =
                positions[static_cast<size_t>(r.below(static_cast<int>(positions.size())))];
            if (extra.s != pos.s || extra.g != pos.g || extra.n != pos.n || extra.p != pos.p) {
                w.insert(QStringLiteral("svkat"), {"Tabno", "Sfr", "Grp", "Napr", "Spec", "Note"},
                         {key, extra.s, extra.g, extra.n, extra.p, QString()});
                ++counts.detailRows;
            }
        }
    }

    for (int f = 0; f < options.firms; ++f) {
        const QString base = QString::fromUtf8(kFirmNames[f % std::size(kFirmNames)]);
        const QString name =
            f < static_cast<int>(std::size(kFirmNames))
                ? QStringLiteral("ООО «%1»").arg(base)
                : QStringLiteral("ООО «%1-%2»").arg(base).arg(f / std::size(kFirmNames) + 1);
        w.insert(
            QStringLiteral("firm"),
            {"Name", "Adr", "Kontakt", "Kontdolg", "Kod", "Tel1", "Email1", "Rukov", "Telruk",
             "INN", "Dogn", "Dogd"},
            {name,
             QString::fromUtf8(r.pick(kStreets)) + QStringLiteral(", д. %1").arg(r.between(1, 90)),
             QString::fromUtf8(r.pick(kFemaleNames)) + QLatin1Char(' ') +
                 female(QString::fromUtf8(r.pick(kSurnames))),
             QStringLiteral("менеджер по персоналу"), QStringLiteral("812"), phone(r),
             QStringLiteral("hr%1@firm.ru").arg(f + 1),
             QString::fromUtf8(r.pick(kMaleNames)) + QLatin1Char(' ') +
                 QString::fromUtf8(r.pick(kSurnames)),
             phone(r), QString::number(7800000000LL + r.between(100000, 999999)),
             QStringLiteral("%1/%2").arg(f + 1).arg(today.year() - r.below(5)),
             today.addDays(-r.between(30, 1500))});
        ++counts.firms;
    }

    const QStringList condCols{"Dfrom", "Dto",     "Oklfrom", "Oklto",  "Valut",  "Marr",
                               "Regn",  "Edprofl", "Edspec",  "Mf",     "Pc",     "Avtpr",
                               "Avtm",  "Katpr",   "Lang",    "Stlang", "Prfobl", "Prfnapr"};
    for (int z = 0; z < options.requests && options.firms > 0; ++z) {
        const int key = z + 1;
        const int ageFrom = r.chance(70) ? r.between(18, 35) : 0;
        const int ageTo = r.chance(70) ? ageFrom + r.between(10, 25) : 0;
        const int salaryFrom = r.chance(60) ? r.between(20, 80) * 1000 : 0;
        const bool car = r.chance(15);
        QVariantList cond{ageFrom,
                          ageTo,
                          salaryFrom,
                          salaryFrom ? salaryFrom * 2 : 0,
                          salaryFrom ? 1 : 0,
                          0,
                          r.chance(20) ? r.between(1, 12) : 0,
                          r.chance(30) ? r.between(1, 6) : 0,
                          0,
                          r.below(3),
                          r.chance(40) ? r.between(1, 3) : 0,
                          car || r.chance(10),
                          car,
                          car ? r.between(1, 3) : 0,
                          r.chance(35) ? r.between(1, langCount) : 0,
                          0,
                          r.chance(30) ? r.between(1, 8) : 0,
                          0};
        const int tipz = z < options.requests * 7 / 10 ? 0 : (r.chance(80) ? 1 : 2);
        const bool closed = tipz != 0 || r.chance(15);
        const QDate dat = today.addDays(-r.between(0, 700));
        QStringList cols{"Keyn", "Firm", "Dat", "Vakan", "Note", "Zakr", "Dzakr", "Tipz", "Covrt"};
        QVariantList values{key,
                            r.between(1, options.firms),
                            dat,
                            QString::fromUtf8(r.pick(kVacancies)),
                            QStringLiteral("Срочно, опыт работы от %1 лет").arg(r.between(1, 5)),
                            closed,
                            closed ? QVariant(dat.addDays(r.between(10, 90))) : QVariant(),
                            tipz,
                            r.chance(20)};
        w.insert(QStringLiteral("zayav"), cols + condCols, values + cond);
        w.insert(QStringLiteral("zayavz"), QStringList{"Keyn"} + condCols + QStringList{"Note"},
                 QVariantList{key} + cond +
                     QVariantList{QStringLiteral("Требования клиента: %1")
                                      .arg(QString::fromUtf8(r.pick(kQualities)))});
        ++counts.requests;
        const int selected = options.candidates > 0 ? r.below(6) : 0;
        std::vector<int> chosen;
        for (int s = 0; s < selected; ++s) {
            const int tabno = r.between(1, options.candidates);
            if (std::find(chosen.begin(), chosen.end(), tabno) != chosen.end())
                continue;
            chosen.push_back(tabno);
            w.insert(QStringLiteral("zvrecr"), {QStringLiteral("Zayav"), QStringLiteral("Tabno")},
                     {key, tabno});
            if (r.chance(30))
                db.executeStoreSql(
                    QStringLiteral(
                        "INSERT INTO znaprk (Keyz, Tabno, Regn, Fio, Dat) SELECT ?, Keyr, "
                        "Tn2, NameF || ' ' || NameI || ' ' || COALESCE(NameO,''), ? FROM "
                        "reserv WHERE Keyr=?"),
                    {key, dat.addDays(r.between(1, 20)), tabno});
        }
    }
    tx.commit();
    return counts;
}

} // namespace kadrol
