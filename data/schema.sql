-- Кадролог: every table of a Data folder.
--
-- The engine reads each field's kind back from its declared type, so only these are used:
--   INTEGER PRIMARY KEY AUTOINCREMENT  a key the table assigns (AUTOINCREMENT: never reused)
--   INTEGER PRIMARY KEY                a key the program writes
--   INTEGER, SMALLINT, DOUBLE, BOOLEAN (0/1), DATE ('YYYY-MM-DD'),
--   VARCHAR(N) (text of N characters), TEXT_MEMO, BLOB_GRAPHIC.
-- Column names keep their mixed case; the program names them in any case.
-- Fields stand in the order the windows rely on: several tables take whole-row inserts by
-- position (BLACK, SVKAT, ZVRECR, znaprk, KATALOG, LIBR, TEMPL).
--
-- Named indexes are called <table>_<index>; the engine orders a table by "iname" or "idat"
-- through reserv_iname, profopt_idat and so on. RUS (Russian order, case-insensitive) and
-- kdb_upper are registered by the engine on every connection; a connection without them can
-- read the tables but cannot write the indexed ones.
--
-- The picture table PICTR lives in the program folder, not here (pictures.sql).

---------------------------------------------------------------------------------------------
-- Candidates

CREATE TABLE reserv (
    "Keyr" INTEGER PRIMARY KEY AUTOINCREMENT,
    "NameF" VARCHAR(50),
    "NameI" VARCHAR(20),
    "NameO" VARCHAR(50),
    "DatBd" DATE,
    "TelWr" VARCHAR(20),
    "Firm" VARCHAR(80),
    "Dol" VARCHAR(80),
    "Note" VARCHAR(100),
    "Bal" SMALLINT,
    "MF" BOOLEAN,
    "PaspS" VARCHAR(70),
    "PaspN" INTEGER,
    "PaspV" VARCHAR(150),
    "PaspD" DATE,
    "Adr" VARCHAR(50),
    "Tel" VARCHAR(20),
    "AdrP" VARCHAR(50),
    "TelP" VARCHAR(20),
    "Edu" VARCHAR(10),
    "EduSpec" VARCHAR(30),
    "Marr" SMALLINT,
    "Chil" SMALLINT,
    "Stage" DATE,
    "Nstage" DATE,
    "Voen" BOOLEAN,
    "Lang" SMALLINT,
    "Slang" VARCHAR(8),
    "Grag" VARCHAR(30),
    "Comptr" SMALLINT,
    "Stenogr" BOOLEAN,
    "Fax" BOOLEAN,
    "Copir" BOOLEAN,
    "Autopr" BOOLEAN,
    "Autom" BOOLEAN,
    "DiplKval" VARCHAR(150),
    "Ntrud" BOOLEAN,
    "Izobr" BOOLEAN,
    "Oklmin" INTEGER,
    "Datreg" DATE,
    "Sost" SMALLINT,
    "Kur" BOOLEAN,
    "Koman" BOOLEAN,
    "Prov" BOOLEAN,
    "Valut" INTEGER,
    "Arch" INTEGER,
    "Foto" VARCHAR(90),
    "Sfr" INTEGER,
    "Grp" INTEGER,
    "Napr" INTEGER,
    "Spec" INTEGER,
    "Region" INTEGER,
    "Wrknow" BOOLEAN,
    "Katavtm" SMALLINT,
    "Cv" VARCHAR(100),
    "Avtmarka" VARCHAR(40),
    "Apryear" SMALLINT,
    "Telsot" VARCHAR(20),
    "Compens" BOOLEAN,
    "Prizuv" BOOLEAN,
    "Admin" BOOLEAN,
    "Admins" VARCHAR(100),
    "Sled" BOOLEAN,
    "Sleds" VARCHAR(100),
    "Ugol" BOOLEAN,
    "Ugols" VARCHAR(100),
    "Infrm" INTEGER,
    "Tn2" VARCHAR(10),
    "Dout" DATE,
    "Voentip" SMALLINT,
    "Townn" INTEGER,
    "Email" VARCHAR(40),
    "Chil1" SMALLINT,
    "Chil2" SMALLINT,
    "Chil3" SMALLINT,
    "Cntry" INTEGER,
    "Twnout" SMALLINT,
    "Grag2" VARCHAR(30),
    "Cntryout" BOOLEAN,
    "Cvint" BOOLEAN,
    "Memint" TEXT_MEMO
);
-- The candidate list's order.
CREATE INDEX reserv_iname ON reserv ("NameF" COLLATE RUS, "NameI" COLLATE RUS, "NameO" COLLATE RUS);
-- The list always shows one base (filter arch=0 or arch=1) in name order; with Arch first the
-- store reads that base in order straight from the index instead of sorting it.
CREATE INDEX reserv_archname ON reserv ("Arch", "NameF" COLLATE RUS, "NameI" COLLATE RUS, "NameO" COLLATE RUS);
-- The duplicate-name check of the card compares upper-cased name parts over both bases.
CREATE INDEX reserv_upname ON reserv (kdb_upper("NameF"), kdb_upper("NameI"), kdb_upper("NameO"));
-- The list by catalog position selects candidates by their main position.
CREATE INDEX reserv_katpos ON reserv ("Sfr", "Grp", "Napr", "Spec");

CREATE TABLE black (
    "Keyn" INTEGER PRIMARY KEY AUTOINCREMENT,
    "Namef" VARCHAR(30),
    "Namei" VARCHAR(10),
    "Nameo" VARCHAR(20),
    "Datbd" DATE,
    "Dzanes" DATE,
    "Pasps" VARCHAR(70),
    "Paspn" VARCHAR(15),
    "Paspv" VARCHAR(150),
    "Paspd" DATE,
    "Mf" BOOLEAN,
    "Adr" VARCHAR(50),
    "Tel" VARCHAR(15),
    "Adrp" VARCHAR(50),
    "Telp" VARCHAR(15),
    "Nbas" SMALLINT,
    "Note" VARCHAR(200)
);

---------------------------------------------------------------------------------------------
-- Candidate details. Each is read filtered on its link to RESERV.Keyr, so each link is indexed.

CREATE TABLE sobesed (
    "Keyf" INTEGER PRIMARY KEY AUTOINCREMENT,
    "Nn" INTEGER,
    "Dat" DATE,
    "Who" VARCHAR(50),
    "Res" VARCHAR(90)
);
CREATE INDEX sobesed_nn ON sobesed ("Nn");

-- The program reaches recommendations through filters only; Keyn is a key of our own.
CREATE TABLE recom (
    "TabNo" INTEGER,
    "Fio" VARCHAR(120),
    "Firm" VARCHAR(200),
    "Kontel" VARCHAR(100),
    "Rec" VARCHAR(250),
    "Keyn" INTEGER PRIMARY KEY AUTOINCREMENT
);
CREATE INDEX recom_tabno ON recom ("TabNo");

CREATE TABLE reclang (
    "Keyn" INTEGER PRIMARY KEY AUTOINCREMENT,
    "Tabno" INTEGER,
    "Lang" INTEGER,
    "Stlang" SMALLINT
);
CREATE INDEX reclang_tabno ON reclang ("Tabno");
-- Matching by a request's language and level starts from the few rows of that language.
CREATE INDEX reclang_lang ON reclang ("Lang", "Stlang");

CREATE TABLE resnavk (
    "Keyn" INTEGER PRIMARY KEY AUTOINCREMENT,
    "Tabno" INTEGER,
    "NN" INTEGER,
    "Urov" INTEGER
);
CREATE INDEX resnavk_tabno ON resnavk ("Tabno");

CREATE TABLE svkat (
    "Keyn" INTEGER PRIMARY KEY AUTOINCREMENT,
    "Tabno" INTEGER,
    "Sfr" INTEGER,
    "Grp" INTEGER,
    "Napr" INTEGER,
    "Spec" INTEGER,
    "Note" VARCHAR(100)
);
-- No candidate holds the same further position twice; Tabno first also serves the card.
CREATE UNIQUE INDEX svkat_ipos ON svkat ("Tabno", "Sfr", "Grp", "Napr", "Spec");
-- The list by catalog position selects further positions by node.
CREATE INDEX svkat_katpos ON svkat ("Sfr", "Grp", "Napr", "Spec");

CREATE TABLE profopt (
    "Keyn" INTEGER PRIMARY KEY AUTOINCREMENT,
    "Tabno" INTEGER,
    "From" DATE,
    "To" DATE,
    "Stag" DOUBLE,
    "Firm" VARCHAR(100),
    "Dolgn" VARCHAR(200),
    "Obaz" VARCHAR(200),
    "Oblst" INTEGER,
    "Napr" INTEGER,
    "Note" VARCHAR(200)
);
-- The card shows one candidate's jobs in date order; Tabno first also serves the link filter.
CREATE INDEX profopt_idat ON profopt ("Tabno", "From");
-- Matching by a request's field and direction of activity.
CREATE INDEX profopt_oblst ON profopt ("Oblst", "Napr");

CREATE TABLE educres (
    "Keyn" INTEGER PRIMARY KEY AUTOINCREMENT,
    "Tabno" INTEGER,
    "DFrom" DATE,
    "Dto" DATE,
    "Tipe" INTEGER,
    "Profl" INTEGER,
    "Specl" INTEGER,
    "Zaved" VARCHAR(200),
    "Diplom" VARCHAR(200),
    "Kvalif" VARCHAR(200),
    "Note" VARCHAR(200)
);
CREATE INDEX educres_idat ON educres ("Tabno", "DFrom");
-- Matching by a request's education profile and specialisation.
CREATE INDEX educres_profl ON educres ("Profl", "Specl");

---------------------------------------------------------------------------------------------
-- Clients and requests

CREATE TABLE firm (
    "Keyn" INTEGER PRIMARY KEY AUTOINCREMENT,
    "Name" VARCHAR(100),
    "Adr" VARCHAR(100),
    "Kontakt" VARCHAR(80),
    "Kontdolg" VARCHAR(80),
    "Kod" VARCHAR(20),
    "Tel1" VARCHAR(50),
    "Tel2" VARCHAR(50),
    "Fax" VARCHAR(50),
    "Email1" VARCHAR(80),
    "Email2" VARCHAR(80),
    "Rukov" VARCHAR(80),
    "Telruk" VARCHAR(50),
    "Telruk2" VARCHAR(50),
    "Note" VARCHAR(100),
    "Buhgal" VARCHAR(80),
    "Buhtel1" VARCHAR(50),
    "Buhgal2" VARCHAR(80),
    "Buhtel2" VARCHAR(50),
    "Buhgal3" VARCHAR(80),
    "Buhtel3" VARCHAR(50),
    "Yradr" VARCHAR(100),
    "Rsch" VARCHAR(40),
    "Csch" VARCHAR(40),
    "Bank" VARCHAR(100),
    "INN" VARCHAR(20),
    "Bik" VARCHAR(20),
    "Dogn" VARCHAR(30),
    "Dogd" DATE,
    "Memf" TEXT_MEMO
);
CREATE INDEX firm_iname ON firm ("Name" COLLATE RUS);

CREATE TABLE zayav (
    "Keyn" INTEGER PRIMARY KEY AUTOINCREMENT,
    "Firm" INTEGER,
    "Dat" DATE,
    "Vakan" VARCHAR(150),
    "Note" VARCHAR(200),
    "Zakr" BOOLEAN,
    "Dzakr" DATE,
    "Tipz" SMALLINT,
    "Covrt" BOOLEAN,
    "Dfrom" INTEGER,
    "Dto" INTEGER,
    "Oklfrom" INTEGER,
    "Oklto" INTEGER,
    "Valut" INTEGER,
    "Marr" INTEGER,
    "Regn" INTEGER,
    "Edprofl" INTEGER,
    "Edspec" INTEGER,
    "Mf" INTEGER,
    "Pc" INTEGER,
    "Avtpr" BOOLEAN,
    "Avtm" BOOLEAN,
    "Katpr" INTEGER,
    "Lang" INTEGER,
    "Stlang" INTEGER,
    "Prfobl" INTEGER,
    "Prfnapr" INTEGER
);
-- The requests list shows one base (current, archive, deleted) at a time.
CREATE INDEX zayav_tipz ON zayav ("Tipz");

-- One row per request, keyed by the request's own number, which the program writes.
CREATE TABLE zayavz (
    "Keyn" INTEGER PRIMARY KEY,
    "Dfrom" INTEGER,
    "Dto" INTEGER,
    "Oklfrom" INTEGER,
    "Oklto" INTEGER,
    "Valut" INTEGER,
    "Marr" INTEGER,
    "Regn" INTEGER,
    "Edprofl" INTEGER,
    "Edspec" INTEGER,
    "Mf" INTEGER,
    "Pc" INTEGER,
    "Avtpr" BOOLEAN,
    "Avtm" BOOLEAN,
    "Katpr" INTEGER,
    "Lang" INTEGER,
    "Stlang" INTEGER,
    "Prfobl" INTEGER,
    "Prfnapr" INTEGER,
    "Note" TEXT_MEMO
);

-- Matching adds candidates one insert at a time and relies on this key to refuse a candidate
-- already listed for the request. NOT NULL: a pair with an empty half would escape the key.
CREATE TABLE zvrecr (
    "Zayav" INTEGER NOT NULL,
    "Tabno" INTEGER NOT NULL,
    PRIMARY KEY ("Zayav", "Tabno")
);

-- Sent candidates: a history, so sending the same candidate twice records it twice.
CREATE TABLE znaprk (
    "Keyz" INTEGER,
    "Tabno" INTEGER,
    "Regn" VARCHAR(10),
    "Fio" VARCHAR(122),
    "Dat" DATE,
    "Note" VARCHAR(100),
    "Keyn" INTEGER PRIMARY KEY AUTOINCREMENT
);
CREATE INDEX znaprk_keyz ON znaprk ("Keyz");

---------------------------------------------------------------------------------------------
-- The catalog: one row per node, the keys of its path, 0 for a level not on it. Napr comes
-- before Grp: the structure window inserts whole rows in this order.

CREATE TABLE katalog (
    "Keyn" INTEGER PRIMARY KEY AUTOINCREMENT,
    "Sfr" INTEGER,
    "Napr" INTEGER,
    "Grp" INTEGER,
    "Spec" INTEGER
);
CREATE INDEX katalog_path ON katalog ("Sfr", "Grp", "Napr", "Spec");

---------------------------------------------------------------------------------------------
-- Name lists: Keyn and Name. The editable lists get their keys from the table; the fixed lists
-- (steplang, urovnvk, marr, pasprt) ship with their rows and keep the keys they ship with.
-- A list the windows show in Name order has an index on Name in the Russian order.

CREATE TABLE sfera (
    "Keyn" INTEGER PRIMARY KEY AUTOINCREMENT,
    "Name" VARCHAR(100)
);
CREATE INDEX sfera_name ON sfera ("Name" COLLATE RUS);

CREATE TABLE grp (
    "Keyn" INTEGER PRIMARY KEY AUTOINCREMENT,
    "Name" VARCHAR(100)
);
CREATE INDEX grp_name ON grp ("Name" COLLATE RUS);

CREATE TABLE knapr (
    "Keyn" INTEGER PRIMARY KEY AUTOINCREMENT,
    "Name" VARCHAR(100)
);
CREATE INDEX knapr_name ON knapr ("Name" COLLATE RUS);

CREATE TABLE speclz (
    "Keyn" INTEGER PRIMARY KEY AUTOINCREMENT,
    "Name" VARCHAR(100)
);
CREATE INDEX speclz_name ON speclz ("Name" COLLATE RUS);

CREATE TABLE tipedct (
    "Keyn" INTEGER PRIMARY KEY AUTOINCREMENT,
    "Name" VARCHAR(100)
);

CREATE TABLE edprofl (
    "Keyn" INTEGER PRIMARY KEY AUTOINCREMENT,
    "Name" VARCHAR(100)
);
CREATE INDEX edprofl_name ON edprofl ("Name" COLLATE RUS);

CREATE TABLE edspclz (
    "Keyn" INTEGER PRIMARY KEY AUTOINCREMENT,
    "Name" VARCHAR(100)
);
CREATE INDEX edspclz_name ON edspclz ("Name" COLLATE RUS);

CREATE TABLE oblst (
    "Keyn" INTEGER PRIMARY KEY AUTOINCREMENT,
    "Name" VARCHAR(90)
);
CREATE INDEX oblst_name ON oblst ("Name" COLLATE RUS);

CREATE TABLE naprv (
    "Keyn" INTEGER PRIMARY KEY AUTOINCREMENT,
    "Name" VARCHAR(90)
);
CREATE INDEX naprv_name ON naprv ("Name" COLLATE RUS);

CREATE TABLE region (
    "Keyn" INTEGER PRIMARY KEY AUTOINCREMENT,
    "Name" VARCHAR(60)
);

CREATE TABLE town (
    "Keyn" INTEGER PRIMARY KEY AUTOINCREMENT,
    "Name" VARCHAR(60)
);
CREATE INDEX town_name ON town ("Name" COLLATE RUS);

CREATE TABLE cntry (
    "Keyn" INTEGER PRIMARY KEY AUTOINCREMENT,
    "Name" VARCHAR(60)
);
CREATE INDEX cntry_name ON cntry ("Name" COLLATE RUS);

CREATE TABLE sost (
    "Keyn" INTEGER PRIMARY KEY AUTOINCREMENT,
    "Name" VARCHAR(80)
);

-- Rate: the value of one unit in the base currency, row 1 (which the data module guards).
CREATE TABLE valut (
    "Keyn" INTEGER PRIMARY KEY AUTOINCREMENT,
    "Name" VARCHAR(5),
    "Rate" DOUBLE
);

CREATE TABLE lang (
    "Keyn" INTEGER PRIMARY KEY AUTOINCREMENT,
    "Name" VARCHAR(90)
);
CREATE INDEX lang_name ON lang ("Name" COLLATE RUS);

CREATE TABLE spnav (
    "Keyn" INTEGER PRIMARY KEY AUTOINCREMENT,
    "Name" VARCHAR(90)
);
CREATE INDEX spnav_name ON spnav ("Name" COLLATE RUS);

CREATE TABLE infrm (
    "Keyn" INTEGER PRIMARY KEY AUTOINCREMENT,
    "Name" VARCHAR(80)
);

CREATE TABLE steplang (
    "Keyn" INTEGER PRIMARY KEY,
    "Name" VARCHAR(50)
);

CREATE TABLE urovnvk (
    "Keyn" INTEGER PRIMARY KEY,
    "Name" VARCHAR(90)
);

CREATE TABLE marr (
    "Keyn" INTEGER PRIMARY KEY,
    "Name" VARCHAR(40)
);

CREATE TABLE pasprt (
    "Keyn" INTEGER PRIMARY KEY,
    "Name" VARCHAR(60)
);

---------------------------------------------------------------------------------------------
-- The document library

CREATE TABLE libr (
    "Keyn" INTEGER PRIMARY KEY AUTOINCREMENT,
    "Name" VARCHAR(40)
);

CREATE TABLE templ (
    "Keyn" INTEGER PRIMARY KEY AUTOINCREMENT,
    "Tip" SMALLINT,
    "Name" VARCHAR(100),
    "Path" VARCHAR(70)
);

---------------------------------------------------------------------------------------------
-- Field descriptions of the selection module and the statistics window. They ship with the
-- folder (rows/*.tsv) and are only read by the program.

-- Ftip: 1 text, 2 logical, 3 code from flook, 4 date, 5 number, 6 key into the fdblook table.
-- Nb: 1 candidates (reserv), 4 blacklist (black), 5 requests (zayav).
CREATE TABLE sfld (
    "Keyf" INTEGER PRIMARY KEY AUTOINCREMENT,
    "Fld" VARCHAR(20),
    "Fname" VARCHAR(30),
    "Ftip" SMALLINT,
    "Nb" SMALLINT
);
CREATE INDEX sfld_fname ON sfld ("Fname" COLLATE RUS);

-- The codes of a kind-3 field: Ktip is the value stored in the base's column.
CREATE TABLE flook (
    "Keyf" INTEGER,
    "Ktip" INTEGER,
    "Name" VARCHAR(40),
    PRIMARY KEY ("Keyf", "Ktip")
);

-- The lookup table of a kind-6 field, one row per field (Keyn is the field's sfld Keyf).
CREATE TABLE fdblook (
    "Keyn" INTEGER PRIMARY KEY,
    "Table" VARCHAR(20),
    "Key" VARCHAR(20),
    "List" VARCHAR(20)
);

-- The usage checks of the name lists: a name may be deleted only when no row refers to it, and
-- without these each check of an unused name reads all 100,000 candidates.
CREATE INDEX reserv_grp ON reserv ("Grp");
CREATE INDEX reserv_napr ON reserv ("Napr");
CREATE INDEX reserv_spec ON reserv ("Spec");
CREATE INDEX reserv_region ON reserv ("Region");
CREATE INDEX reserv_townn ON reserv ("Townn");
CREATE INDEX reserv_cntry ON reserv ("Cntry");
CREATE INDEX reserv_sost ON reserv ("Sost");
CREATE INDEX reserv_valut ON reserv ("Valut");
CREATE INDEX reserv_infrm ON reserv ("Infrm");
CREATE INDEX svkat_grp ON svkat ("Grp");
CREATE INDEX svkat_napr ON svkat ("Napr");
CREATE INDEX svkat_spec ON svkat ("Spec");
CREATE INDEX educres_tipe ON educres ("Tipe");
CREATE INDEX educres_specl ON educres ("Specl");
CREATE INDEX profopt_napr ON profopt ("Napr");
CREATE INDEX resnavk_nn ON resnavk ("NN");
