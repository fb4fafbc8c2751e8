#include "pdm.h"

#include "messages.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>

TDM* DM = nullptr;

namespace {

const char* const kDatabaseName = "KADROLR";
const char* const kAliasName = "kadrol";

// How one dataset of the module is set up. via names the database the table is opened
// through; an empty via means the program's current folder (the picture store). index is a
// named index, fields a field order; neither means the table's key order.
struct DatasetSpec {
    const char* name;
    kdb::Table TDM::*table;
    const char* file;
    const char* via;
    bool open;
    const char* index;
    const char* fields;
    bool filtered;
    bool readOnly;
    const char* sourceName;
    widgets::DataSource TDM::*source;
};

// clang-format off
const DatasetSpec kDatasets[] = {
    // name       table          file           via        open   index    fields  filt.  r/o    data source
    {"Reserv",   &TDM::Reserv,   "Reserv.DB",   "KADROLR", true,  "iname", "",     true,  false, "DSReserv",   &TDM::DSReserv},
    {"recom",    &TDM::recom,    "RECOM.DB",    "KADROLR", false, "",      "",     true,  false, "DSrecom",    &TDM::DSrecom},
    {"sobsd",    &TDM::sobsd,    "sobesed.db",  "KADROLR", false, "",      "",     true,  false, "DSsob",      &TDM::DSsob},
    {"black",    &TDM::black,    "BLACK.DB",    "KADROLR", true,  "",      "",     true,  false, "DSblack",    &TDM::DSblack},
    {"firm",     &TDM::firm,     "FIRM.DB",     "KADROLR", true,  "iname", "",     true,  false, "DSfirm",     &TDM::DSfirm},
    {"zayav",    &TDM::zayav,    "ZAYAV.DB",    "KADROLR", true,  "",      "",     true,  false, "DSzayav",    &TDM::DSzayav},
    {"Templ",    &TDM::Templ,    "TEMPL.DB",    "KADROLR", true,  "",      "",     false, false, "DStempl",    &TDM::DStempl},
    {"Oblst",    &TDM::Oblst,    "OBLST.DB",    "kadrol",  true,  "",      "Name", true,  false, "DSoblst",    &TDM::DSoblst},
    {"naprv",    &TDM::naprv,    "NAPRV.DB",    "kadrol",  true,  "",      "Name", true,  false, "DSnaprv",    &TDM::DSnaprv},
    {"speclz",   &TDM::speclz,   "SPECLZ.DB",   "kadrol",  true,  "",      "Name", true,  false, "DSspeclz",   &TDM::DSspeclz},
    {"Tkatalog", &TDM::Tkatalog, "KATALOG.DB",  "KADROLR", true,  "",      "",     true,  false, "",           nullptr},
    {"region",   &TDM::region,   "REGION.DB",   "kadrol",  true,  "",      "",     true,  false, "DSreg",      &TDM::DSreg},
    {"Lang",     &TDM::Lang,     "LANG.DB",     "kadrol",  true,  "",      "Name", true,  false, "DSlang",     &TDM::DSlang},
    {"reclang",  &TDM::reclang,  "RECLANG.DB",  "KADROLR", false, "",      "",     true,  false, "DSreclang",  &TDM::DSreclang},
    {"zvrecr",   &TDM::zvrecr,   "ZVRECR.DB",   "KADROLR", true,  "",      "",     true,  false, "DSzvrecr",   &TDM::DSzvrecr},
    {"spnav",    &TDM::spnav,    "SPNAV.DB",    "kadrol",  true,  "",      "Name", true,  false, "DSspnav",    &TDM::DSspnav},
    {"recnvk",   &TDM::recnvk,   "RESNAVK.DB",  "KADROLR", false, "",      "",     true,  false, "DSrnavk",    &TDM::DSrnavk},
    {"svkat",    &TDM::svkat,    "SVKAT.DB",    "KADROLR", false, "",      "",     true,  false, "DSsvkat",    &TDM::DSsvkat},
    {"eprof",    &TDM::eprof,    "EDPROFL.DB",  "kadrol",  true,  "",      "Name", true,  false, "DSeprof",    &TDM::DSeprof},
    {"ecpecl",   &TDM::ecpecl,   "EDSPCLZ.DB",  "kadrol",  true,  "",      "Name", true,  false, "DSespecl",   &TDM::DSespecl},
    {"prfopt",   &TDM::prfopt,   "PROFOPT.DB",  "KADROLR", false, "idat",  "",     true,  false, "DSprfopt",   &TDM::DSprfopt},
    {"tipedu",   &TDM::tipedu,   "TIPEDCT.DB",  "kadrol",  true,  "",      "",     true,  false, "DStipedu",   &TDM::DStipedu},
    {"eductn",   &TDM::eductn,   "EDUCRES.DB",  "KADROLR", false, "idat",  "",     true,  false, "DSeductn",   &TDM::DSeductn},
    {"steplang", &TDM::steplang, "STEPLANG.DB", "kadrol",  true,  "",      "",     true,  true,  "DSsteplang", &TDM::DSsteplang},
    {"sost",     &TDM::sost,     "SOST.DB",     "kadrol",  true,  "",      "",     false, false, "DSsost",     &TDM::DSsost},
    {"sfera",    &TDM::sfera,    "SFERA.DB",    "kadrol",  true,  "",      "Name", true,  false, "DSsfera",    &TDM::DSsfera},
    {"grp",      &TDM::grp,      "GRP.DB",      "kadrol",  true,  "",      "Name", true,  false, "DSgrp",      &TDM::DSgrp},
    {"knapr",    &TDM::knapr,    "KNAPR.DB",    "kadrol",  true,  "",      "Name", true,  false, "DSknapr",    &TDM::DSknapr},
    {"tinfrm",   &TDM::tinfrm,   "INFRM.DB",    "kadrol",  true,  "",      "",     true,  false, "DSinfrm",    &TDM::DSinfrm},
    {"pasprt",   &TDM::pasprt,   "PASPRT.DB",   "kadrol",  true,  "",      "",     true,  true,  "DSpasprt",   &TDM::DSpasprt},
    {"marr",     &TDM::marr,     "MARR.DB",     "kadrol",  true,  "",      "",     true,  true,  "DSmarr",     &TDM::DSmarr},
    {"urovnvk",  &TDM::urovnvk,  "UROVNVK.DB",  "kadrol",  true,  "",      "",     true,  true,  "",           nullptr},
    {"town",     &TDM::town,     "town.db",     "kadrol",  true,  "",      "Name", true,  false, "DStown",     &TDM::DStown},
    {"zvnapr",   &TDM::zvnapr,   "znaprk.DB",   "KADROLR", false, "",      "",     true,  false, "DSzvnapr",   &TDM::DSzvnapr},
    {"zvzak",    &TDM::zvzak,    "ZAYAVZ.DB",   "KADROLR", false, "",      "",     true,  false, "DSzvzak",    &TDM::DSzvzak},
    {"Tpictr",   &TDM::Tpictr,   "PICTR.DB",    "",        false, "",      "",     false, true,  "",           nullptr},
    {"Tvalut",   &TDM::Tvalut,   "VALUT.DB",    "kadrol",  true,  "",      "",     false, false, "DSQval",     &TDM::DSQval},
    {"cntry",    &TDM::cntry,    "CNTRY.DB",    "kadrol",  true,  "",      "Name", true,  false, "DScntry",    &TDM::DScntry},
};
// clang-format on

QString latin(const char* text)
{
    return QString::fromLatin1(text);
}

QStringList names(std::initializer_list<const char*> list)
{
    QStringList out;
    for (const char* n : list)
        out << latin(n);
    return out;
}

// The folder as the module keeps it: absolute, native separators, no trailing separator.
QString cleanFolder(const QString& folder)
{
    return QDir::toNativeSeparators(QDir::cleanPath(QDir(folder).absolutePath()));
}

const char* const kDateMask = "!99/99/9999;1;_";

} // namespace

TDM::TDM(QObject* parent) : TDM(QCoreApplication::applicationDirPath(), parent) {}

TDM::TDM(const QString& programFolder, QObject* parent)
    : QObject(parent), Dtb(latin(kAliasName), latin(kDatabaseName)),
      ProgramFolder(cleanFolder(programFolder).toUpper()), m_programDir(cleanFolder(programFolder))
{
    setUpDatasets();
    declareFieldsAndLookups();
    installRules();

    try {
        Dtb.open();
    } catch (const kdb::Error& e) {
        throw kdb::Error(e.code(),
                         QStringLiteral("Не удалось подключить базу данных %1 (псевдоним «%2»): %3")
                             .arg(latin(kDatabaseName), latin(kAliasName), e.message()));
    }
    for (const DatasetSpec& spec : kDatasets)
        if (spec.open)
            (this->*spec.table).open();
}

TDM::~TDM()
{
    if (DM == this)
        DM = nullptr;
}

void TDM::setUpDatasets()
{
    for (const DatasetSpec& spec : kDatasets) {
        kdb::Table& t = this->*spec.table;
        t.setObjectName(latin(spec.name));
        t.setDatabaseName(latin(spec.via));
        t.setTableName(latin(spec.file));
        if (*spec.index)
            t.setIndexName(latin(spec.index));
        if (*spec.fields)
            t.setIndexFieldNames(latin(spec.fields));
        t.setFiltered(spec.filtered);
        t.setReadOnly(spec.readOnly);
        if (spec.source) {
            widgets::DataSource& ds = this->*spec.source;
            ds.setObjectName(latin(spec.sourceName));
            ds.setDataset(&t);
        }
    }
}

void TDM::declareFieldsAndLookups()
{
    const QString keyn = QStringLiteral("Keyn");
    const QString name = QStringLiteral("Name");
    const QString mask = latin(kDateMask);

    Reserv.declareFields(names(
        {"Keyr",    "NameF",  "NameI",   "NameO",    "DatBd",   "TelWr",   "Firm",     "Dol",
         "Note",    "Bal",    "MF",      "PaspS",    "PaspN",   "PaspV",   "PaspD",    "Adr",
         "Tel",     "AdrP",   "TelP",    "Edu",      "EduSpec", "Marr",    "Chil",     "Stage",
         "Nstage",  "Voen",   "Lang",    "Slang",    "Grag",    "Comptr",  "Stenogr",  "Fax",
         "Copir",   "Autopr", "Autom",   "DiplKval", "Ntrud",   "Izobr",   "Oklmin",   "Datreg",
         "Sost",    "Kur",    "Koman",   "Prov",     "Valut",   "Arch",    "Foto",     "Sfr",
         "Grp",     "Napr",   "Spec",    "Region",   "Wrknow",  "Katavtm", "Cv",       "Avtmarka",
         "Apryear", "Telsot", "Compens", "Prizuv",   "Admin",   "Admins",  "Sled",     "Sleds",
         "Ugol",    "Ugols",  "Infrm",   "Tn2",      "Dout",    "Voentip", "Townn",    "Email",
         "Chil1",   "Chil2",  "Chil3",   "Cntry",    "Twnout",  "Grag2",   "Cntryout", "Cvint",
         "Memint"}));
    Reserv.setFieldReadOnly(QStringLiteral("Keyr"), true);
    // MF (sex) and Cntryout (relocation abroad) are shown by their own captions, not yes/no.
    for (const char* f :
         {"Voen", "Stenogr", "Fax", "Copir", "Autopr", "Autom", "Ntrud", "Izobr", "Kur", "Koman",
          "Prov", "Wrknow", "Compens", "Prizuv", "Admin", "Sled", "Ugol", "Cvint"})
        Reserv.setDisplayValues(latin(f), QStringLiteral("Да;Нет"));

    sobsd.declareFields(names({"Keyf", "Nn", "Dat", "Who", "Res"}));
    sobsd.setEditMask(QStringLiteral("Dat"), mask);

    black.declareFields(
        names({"Keyn", "Namef", "Namei", "Nameo", "Datbd", "Dzanes", "Pasps", "Paspn", "Paspv",
               "Paspd", "Mf", "Adr", "Tel", "Adrp", "Telp", "Nbas", "Note"}));

    Templ.declareFields(names({"Keyn", "Tip", "Name", "Path"}));
    Templ.setFieldReadOnly(keyn, true);

    reclang.declareFields(names({"Keyn", "Tabno", "Lang", "Stlang"}));
    reclang.addLookupField(QStringLiteral("nlang"), QStringLiteral("Lang"), &Lang, keyn, name, 90);
    reclang.addLookupField(QStringLiteral("nstlang"), QStringLiteral("Stlang"), &steplang, keyn,
                           name, 50);

    recnvk.declareFields(names({"Keyn", "Tabno", "NN", "Urov"}));
    recnvk.addLookupField(QStringLiteral("nname"), QStringLiteral("NN"), &spnav, keyn, name, 90);
    recnvk.addLookupField(QStringLiteral("nurov"), QStringLiteral("Urov"), &urovnvk, keyn, name,
                          90);

    svkat.declareFields(names({"Keyn", "Tabno", "Sfr", "Grp", "Napr", "Spec", "Note"}));
    svkat.addLookupField(QStringLiteral("nsfr"), QStringLiteral("Sfr"), &sfera, keyn, name, 100);
    svkat.addLookupField(QStringLiteral("ngrp"), QStringLiteral("Grp"), &grp, keyn, name, 100);
    svkat.addLookupField(QStringLiteral("nnapr"), QStringLiteral("Napr"), &knapr, keyn, name, 100);
    svkat.addLookupField(QStringLiteral("nspec"), QStringLiteral("Spec"), &speclz, keyn, name, 100);

    prfopt.declareFields(names(
        {"Keyn", "Tabno", "From", "To", "Stag", "Firm", "Dolgn", "Obaz", "Oblst", "Napr", "Note"}));
    prfopt.setEditMask(QStringLiteral("From"), mask);
    prfopt.setEditMask(QStringLiteral("To"), mask);
    prfopt.addLookupField(QStringLiteral("nnapr"), QStringLiteral("Napr"), &naprv, keyn, name, 90);
    prfopt.addLookupField(QStringLiteral("noblst"), QStringLiteral("Oblst"), &Oblst, keyn, name,
                          90);

    eductn.declareFields(names({"Keyn", "Tabno", "DFrom", "Dto", "Tipe", "Profl", "Specl", "Zaved",
                                "Diplom", "Kvalif", "Note"}));
    eductn.setEditMask(QStringLiteral("DFrom"), mask);
    eductn.setEditMask(QStringLiteral("Dto"), mask);
    eductn.addLookupField(QStringLiteral("ntip"), QStringLiteral("Tipe"), &tipedu, keyn, name, 100);
    eductn.addLookupField(QStringLiteral("nprofl"), QStringLiteral("Profl"), &eprof, keyn, name,
                          100);
    eductn.addLookupField(QStringLiteral("nspeclz"), QStringLiteral("Specl"), &ecpecl, keyn, name,
                          100);

    Tpictr.declareFields(names({"Pict", "Keyn"}));

    Tvalut.declareFields(names({"Keyn", "Name", "Rate"}));
    Tvalut.setFieldReadOnly(keyn, true);
    Tvalut.setDisplayFormat(QStringLiteral("Rate"), QStringLiteral("#.00"));
}

void TDM::installRules()
{
    Reserv.onNewRecord = [this](kdb::Dataset& ds) { newCandidate(ds); };

    const struct {
        kdb::Table* table;
        const char* link;
    } details[] = {{&recom, "TabNo"},  {&sobsd, "Nn"},     {&reclang, "Tabno"},
                   {&recnvk, "Tabno"}, {&prfopt, "Tabno"}, {&eductn, "Tabno"}};
    for (const auto& d : details) {
        const QString link = latin(d.link);
        d.table->onNewRecord = [this, link](kdb::Dataset& ds) { newDetailRow(ds, link); };
    }

    // Other workstations read the requests from the data file: write it out at once.
    zayav.afterPost = [this](kdb::Dataset&) { Dtb.flush(); };

    Tvalut.onNewRecord = [](kdb::Dataset& ds) {
        ds.fieldByName(QStringLiteral("Rate")).setValue(1.0);
    };
    Tvalut.beforeEdit = [this](kdb::Dataset& ds) { guardBaseCurrency(ds); };
    Tvalut.beforeDelete = [this](kdb::Dataset& ds) { guardBaseCurrency(ds); };

    for (kdb::Table* list :
         {&sfera, &grp, &knapr, &speclz, &tipedu, &eprof, &ecpecl, &Oblst, &naprv, &region, &town,
          &cntry, &sost, &Tvalut, &Lang, &spnav, &tinfrm})
        list->beforePost = [](kdb::Dataset& ds) { refuseBlankName(ds); };
}

void TDM::refuseBlankName(kdb::Dataset& ds)
{
    // A blank name would show as an empty choice in every lookup of the list.
    if (!ds.fieldByName(QStringLiteral("Name")).asString().trimmed().isEmpty())
        return;
    if (ds.state() == kdb::Dataset::State::Insert) {
        ds.cancel(); // a new row without a name is no row, like one left untouched
        throw kdb::Abort();
    }
    widgets::showMessage(blankNameText());
    throw kdb::Abort();
}

void TDM::newCandidate(kdb::Dataset& ds)
{
    auto set = [&ds](const char* field, const QVariant& value) {
        ds.fieldByName(latin(field)).setValue(value);
    };
    set("MF", true);
    // A candidate added while the list shows the archive is an archive candidate.
    set("Arch", m_candidateBase);
    set("Datreg", QDate::currentDate());
    set("Valut", 1);
    set("Comptr", 0);
    set("Twnout", 0);
    set("Cntryout", false);
    for (const char* f : {"Ugol", "Admin", "Sled", "Autopr", "Autom", "Compens", "Kur"})
        set(f, false);
    set("Prov", true);
    for (const char* f : {"Copir", "Stenogr", "Ntrud", "Izobr", "Fax", "Wrknow"})
        set(f, false);
    set("Voen", true);
    set("Cvint", false);
}

void TDM::newDetailRow(kdb::Dataset& ds, const QString& linkField)
{
    if (Reserv.state() == kdb::Dataset::State::Insert) {
        // The candidate has no Keyr before its first save, so the row could not be linked.
        // The row goes first, so that nothing behind the message shows it.
        ds.cancel();
        widgets::showInformation(saveCandidateFirstText());
        throw kdb::Abort();
    }
    if (Reserv.isOpen() && !Reserv.isEmpty())
        ds.fieldByName(linkField).setValue(Reserv.value(QStringLiteral("Keyr")));
}

void TDM::guardBaseCurrency(kdb::Dataset& ds)
{
    // Salaries in every currency are converted through the base currency's rate of 1.
    if (ds.fieldByName(QStringLiteral("Keyn")).asInt() == 1) {
        widgets::showMessage(baseCurrencyText());
        throw kdb::Abort();
    }
}

QString TDM::saveCandidateFirstText()
{
    return QStringLiteral("Сначала сохраните основные данные, чтобы присвоить Рег.№ !");
}

QString TDM::blankNameText()
{
    return QStringLiteral("Наименование не может быть пустым. Введите его или нажмите «Отмена».");
}

QString TDM::baseCurrencyText()
{
    return QStringLiteral("Данную строку нельзя редактировать или удалить!");
}

kdb::Table* TDM::findDataset(const QString& name)
{
    for (const DatasetSpec& spec : kDatasets)
        if (name.compare(latin(spec.name), Qt::CaseInsensitive) == 0)
            return &(this->*spec.table);
    return nullptr;
}

widgets::DataSource* TDM::findDataSource(const QString& name)
{
    for (const DatasetSpec& spec : kDatasets)
        if (spec.source && name.compare(latin(spec.sourceName), Qt::CaseInsensitive) == 0)
            return &(this->*spec.source);
    return nullptr;
}

QStringList TDM::datasetNames() const
{
    QStringList out;
    for (const DatasetSpec& spec : kDatasets)
        out << latin(spec.name);
    return out;
}

QStringList TDM::dataSourceNames() const
{
    QStringList out;
    for (const DatasetSpec& spec : kDatasets)
        if (spec.source)
            out << latin(spec.sourceName);
    return out;
}
