-- A small agency for the Local SQL cases: the tables the windows' queries read, with the real
-- field names (a subset of each table's fields) and the schema's type names. Some candidates
-- have no patronymic, names are stored in mixed letter case.
CREATE TABLE reserv (
    Keyr INTEGER PRIMARY KEY AUTOINCREMENT,
    NameF VARCHAR(50), NameI VARCHAR(20), NameO VARCHAR(50), DatBd DATE, TelWr VARCHAR(20),
    MF BOOLEAN, Marr SMALLINT, Comptr SMALLINT, Oklmin INTEGER, Valut INTEGER, Arch INTEGER,
    Sfr INTEGER, Grp INTEGER, Napr INTEGER, Spec INTEGER, Region INTEGER, Tel VARCHAR(20),
    Cv VARCHAR(100), Tn2 VARCHAR(10), Memint TEXT_MEMO
);
INSERT INTO reserv (NameF, NameI, NameO, DatBd, TelWr, MF, Marr, Comptr, Oklmin, Valut, Arch,
                    Sfr, Grp, Napr, Spec, Region, Tel, Cv, Tn2) VALUES
    ('Иванов',   'Иван',   'Иванович',  '1980-05-20', '111-11-11', 1, 1,    2, 1200,  1, 0, 1, 2, 0, 0, 1,    NULL,        'ivanov.doc',  '1'),
    ('ИВАНОВ',   'иван',   'ИВАНОВИЧ',  '1975-01-10', NULL,        1, 2,    3, 1500,  1, 1, 1, 2, 3, 0, 1,    NULL,        NULL,          '2'),
    ('иванов',   'Иван',   'Петрович',  '1982-07-07', NULL,        1, 1,    1, 800,   1, 0, 1, 2, 0, 5, 2,    NULL,        NULL,          '3'),
    ('Егоров',   'Пётр',   NULL,        '1985-03-15', '222-22-22', 1, 2,    4, 1000,  1, 0, 2, 0, 0, 0, NULL, '123-45-67', 'egorov.rtf',  '4'),
    ('ёлкин',    'Семён',  'Ильич',     '1970-03-15', NULL,        1, 3,    2, 600,   2, 0, 2, 0, 0, 0, 2,    NULL,        NULL,          '5'),
    ('Жуков',    'Андрей', NULL,        '1990-01-01', NULL,        1, 1,    2, 2000,  1, 1, 2, 0, 0, 0, 1,    NULL,        NULL,          '6'),
    ('абрамов',  'Олег',   'Олегович',  '1969-12-31', NULL,        1, NULL, 0, 900,   1, 0, 2, 0, 0, 0, 0,    NULL,        'abramov.pdf', '7'),
    ('Борисова', 'Анна',   'Сергеевна', '1983-11-30', NULL,        0, 2,    2, 20000, 1, 0, 2, 0, 0, 0, 1,    NULL,        NULL,          '8'),
    ('Smith',    'John',   NULL,        NULL,         NULL,        1, 0,    2, 700,   3, 0, 2, 0, 0, 0, NULL, NULL,        NULL,          '01.02.2000'),
    ('Ельцова',  'Ирина',  'Борисовна', '1978-02-02', NULL,        0, 1,    1, 500,   1, 0, 1, 2, 3, 6, 2,    NULL,        NULL,          '10');

CREATE TABLE reclang (Keyn INTEGER PRIMARY KEY AUTOINCREMENT, Tabno INTEGER, Lang INTEGER, Stlang SMALLINT);
INSERT INTO reclang (Tabno, Lang, Stlang) VALUES (1, 3, 2), (2, 3, 1), (2, 4, 2), (4, 3, 2), (5, 3, 2), (8, 3, 2);

CREATE TABLE profopt (
    Keyn INTEGER PRIMARY KEY AUTOINCREMENT, Tabno INTEGER, "From" DATE, "To" DATE, Stag DOUBLE,
    Firm VARCHAR(100), Oblst INTEGER, Napr INTEGER
);
INSERT INTO profopt (Tabno, "From", "To", Stag, Firm, Oblst, Napr) VALUES
    (1, '2000-01-01', '2003-12-31', 4, 'Ромашка', 5, 1),
    (4, '2001-02-01', '2002-02-01', 1, 'Альфа',   5, 2),
    (4, '2003-03-01', NULL,         2, 'Бета',    5, 1),
    (2, '1999-01-01', '2004-01-01', 5, 'Гамма',   5, 1),
    (5, '1995-01-01', '2000-01-01', 5, 'Дельта',  5, 3),
    (8, '2002-01-01', '2004-01-01', 2, 'Ромашка', 7, 1);

CREATE TABLE educres (Keyn INTEGER PRIMARY KEY AUTOINCREMENT, Tabno INTEGER, Tipe INTEGER, Profl INTEGER, Specl INTEGER, Zaved VARCHAR(200));
INSERT INTO educres (Tabno, Tipe, Profl, Specl, Zaved) VALUES
    (5, 1, 4, 1, 'МГУ'), (8, 1, 4, 2, 'МАИ'), (9, 1, 4, 0, 'Oxford'), (1, 2, 3, 0, 'Техникум');

CREATE TABLE valut (Keyn INTEGER PRIMARY KEY AUTOINCREMENT, Name VARCHAR(5), Rate DOUBLE);
INSERT INTO valut (Name, Rate) VALUES ('руб', 1), ('USD', 30);

CREATE TABLE firm (Keyn INTEGER PRIMARY KEY AUTOINCREMENT, Name VARCHAR(100), Note VARCHAR(100));
INSERT INTO firm (Name, Note) VALUES ('альфа', 'а'), ('Ромашка', 'я');

CREATE TABLE zayav (
    Keyn INTEGER PRIMARY KEY AUTOINCREMENT, Firm INTEGER, Dat DATE, Vakan VARCHAR(150),
    Note VARCHAR(200), Zakr BOOLEAN, Dzakr DATE, Tipz SMALLINT
);
INSERT INTO zayav (Firm, Dat, Vakan, Note, Zakr, Dzakr, Tipz) VALUES
    (1, '2005-03-10', 'Бухгалтер', 'срочно', 0, NULL,         0),
    (2, '2005-01-05', 'Секретарь', NULL,     1, '2005-02-01', 0),
    (1, '2004-12-01', 'Водитель',  'архив',  1, '2004-12-20', 1),
    (9, '2005-02-02', 'Курьер',    NULL,     0, NULL,         0);

CREATE TABLE zvrecr (Zayav INTEGER, Tabno INTEGER, PRIMARY KEY (Zayav, Tabno));
INSERT INTO zvrecr VALUES (1, 4), (1, 5), (1, 6), (1, 7), (1, 8), (2, 1);

CREATE TABLE katalog (Keyn INTEGER PRIMARY KEY AUTOINCREMENT, Sfr INTEGER, Napr INTEGER, Grp INTEGER, Spec INTEGER);
INSERT INTO katalog (Sfr, Napr, Grp, Spec) VALUES
    (1, 0, 0, 0), (2, 0, 0, 0), (1, 0, 2, 0), (1, 3, 2, 0), (1, 0, 2, 5), (1, 3, 2, 6), (1, 0, 2, 7);

CREATE TABLE svkat (Keyn INTEGER PRIMARY KEY AUTOINCREMENT, Tabno INTEGER, Sfr INTEGER, Grp INTEGER, Napr INTEGER, Spec INTEGER, Note VARCHAR(100));
INSERT INTO svkat (Tabno, Sfr, Grp, Napr, Spec, Note) VALUES (8, 1, 2, 3, 6, ''), (9, 2, 0, 0, 0, NULL);

CREATE TABLE sfera (Keyn INTEGER PRIMARY KEY AUTOINCREMENT, Name VARCHAR(100));
INSERT INTO sfera (Name) VALUES ('Экономика'), ('автотранспорт');
CREATE TABLE grp (Keyn INTEGER PRIMARY KEY AUTOINCREMENT, Name VARCHAR(100));
INSERT INTO grp (Keyn, Name) VALUES (2, 'Бухгалтерия');
CREATE TABLE knapr (Keyn INTEGER PRIMARY KEY AUTOINCREMENT, Name VARCHAR(100));
INSERT INTO knapr (Keyn, Name) VALUES (3, 'Аудит');
CREATE TABLE speclz (Keyn INTEGER PRIMARY KEY AUTOINCREMENT, Name VARCHAR(100));
INSERT INTO speclz (Keyn, Name) VALUES (5, 'Кассир'), (6, 'аудитор'), (7, 'бухгалтер');

CREATE TABLE region (Keyn INTEGER PRIMARY KEY AUTOINCREMENT, Name VARCHAR(50));
INSERT INTO region (Name) VALUES ('Центральный'), ('Северный');

CREATE TABLE flook (Keyf INTEGER, Ktip INTEGER, Name VARCHAR(50));
INSERT INTO flook VALUES
    (3, 1, 'женат (замужем)'), (3, 2, 'холост (не замужем)'), (3, 3, 'разведен(а)'),
    (4, 1, 'высшее'), (4, 2, 'среднее');

CREATE TABLE sfld (Keyf INTEGER PRIMARY KEY AUTOINCREMENT, Fld VARCHAR(20), Fname VARCHAR(30), Ftip SMALLINT, Nb SMALLINT);
INSERT INTO sfld (Fld, Fname, Ftip, Nb) VALUES
    ('NameF', 'Фамилия', 1, 1), ('MF', 'Пол', 2, 1), ('Marr', 'Семейное положение', 3, 1),
    ('DatBd', 'Дата рождения', 4, 1), ('Region', 'Район', 6, 1);

CREATE TABLE templ (Keyn INTEGER PRIMARY KEY AUTOINCREMENT, Tip SMALLINT, Name VARCHAR(100), Path VARCHAR(70));
INSERT INTO templ (Tip, Name, Path) VALUES
    (1, 'Договор', 'dog.doc'), (1, 'анкета', 'a.doc'), (2, 'Резюме', 'r.doc'), (1, 'Ёлка', 'e.doc');
