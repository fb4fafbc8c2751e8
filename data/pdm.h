#pragma once

#include "database.h"
#include "datasource.h"
#include "table.h"

#include <QObject>
#include <QString>
#include <QStringList>

// The shared data module: the database connection and one dataset, with its data source, for
// every table that more than one window uses. Windows bind their controls, grids and lookups
// to these datasets, so a window that moves, filters or edits one changes what every other
// window bound to it shows. The module runs the rules that belong to the data rather than to a
// window: the defaults of a new candidate, the insert rule of the candidate's detail tables,
// the flush of the requests, the rate of a new currency, the guard of the base currency and
// the refusal of blank names in the name lists.
//
// Created once by the start-up after the main window (which then sets DM), it lives until the
// program ends. The datasets keep the names the windows know them by (Reserv, sobsd, Tvalut
// ...); the ones marked open below are open from creation, the others are opened and closed by
// the windows that use them. Filters and current rows persist between uses, so a window that
// relies on a filter or row sets it first.
//
// Refusals: the detail insert rule and the currency guard tell the user in a message box and
// then throw kdb::Abort from the dataset's hook. The dataset undoes the operation (a new row is
// cancelled, an edit or delete never starts) and rethrows; the windows' action guard swallows
// Abort without a second message. Code that calls append(), edit() or remove() on these
// datasets outside a guarded handler must expect kdb::Abort.
class TDM : public QObject {
    Q_OBJECT
public:
    // Connects Dtb and opens the datasets marked open. Throws kdb::Error when the database
    // cannot be connected (unknown alias, missing Data folder or store) or a table marked open
    // cannot be opened; the message says what is missing and where. The program folder is the
    // folder of the program file; the second form takes it from the caller (the start-up of a
    // program folder other than the executable's, tests).
    explicit TDM(QObject* parent = nullptr);
    explicit TDM(const QString& programFolder, QObject* parent = nullptr);
    ~TDM() override;
    TDM(const TDM&) = delete;
    TDM& operator=(const TDM&) = delete;

    // Database name KADROLR over the alias kadrol. Tables named through "kadrol" reach the
    // same connection (the session finds a database by its alias too).
    kdb::Database Dtb;

    // The datasets, in the module's order. Open from creation unless marked "closed".
    kdb::Table Reserv;   // candidates, in name order; new-candidate defaults
    kdb::Table recom;    // closed; recommendations, detail rule (TabNo)
    kdb::Table sobsd;    // closed; interviews, detail rule (Nn)
    kdb::Table black;    // the blacklist
    kdb::Table firm;     // client firms, in name order
    kdb::Table zayav;    // requests; written to disk after every post
    kdb::Table Templ;    // documents of the library
    kdb::Table Oblst;    // fields of activity
    kdb::Table naprv;    // directions of activity
    kdb::Table speclz;   // catalog specialities
    kdb::Table Tkatalog; // the catalog tree
    kdb::Table region;   // districts
    kdb::Table Lang;     // languages
    kdb::Table reclang;  // closed; a candidate's languages, detail rule (Tabno)
    kdb::Table zvrecr;   // candidates selected for a request
    kdb::Table spnav;    // special skills
    kdb::Table recnvk;   // closed; a candidate's skills, detail rule (Tabno)
    kdb::Table svkat;    // closed; further catalog positions, no rule: the card fills Tabno
    kdb::Table eprof;    // education profiles
    kdb::Table ecpecl;   // education specialisations
    kdb::Table prfopt;   // closed; experience, in date order, detail rule (Tabno)
    kdb::Table tipedu;   // types of education
    kdb::Table eductn;   // closed; education, in date order, detail rule (Tabno)
    kdb::Table steplang; // levels of language command, read-only
    kdb::Table sost;     // states of affairs
    kdb::Table sfera;    // catalog spheres
    kdb::Table grp;      // catalog groups
    kdb::Table knapr;    // catalog directions
    kdb::Table tinfrm;   // where candidates learned of the vacancy
    kdb::Table pasprt;   // kinds of identity document, read-only
    kdb::Table marr;     // marital statuses, read-only
    kdb::Table urovnvk;  // skill levels, read-only
    kdb::Table town;     // towns
    kdb::Table zvnapr;   // closed; candidates sent to the client
    kdb::Table zvzak;    // closed; the client's requirements of a request
    kdb::Table Tpictr;   // closed; pictures of the windows, from the current folder, read-only
    kdb::Table Tvalut;   // currencies; new-currency rate, base-currency guard
    kdb::Table cntry;    // countries

    // The data sources, one per dataset except Tkatalog, urovnvk and Tpictr.
    widgets::DataSource DSReserv, DSrecom, DSsob, DSblack, DSfirm, DSzayav, DStempl, DSoblst,
        DSnaprv, DSspeclz, DSreg, DSlang, DSreclang, DSzvrecr, DSspnav, DSrnavk, DSsvkat, DSeprof,
        DSespecl, DSprfopt, DStipedu, DSeductn, DSsteplang, DSsost, DSsfera, DSgrp, DSknapr,
        DSinfrm, DSpasprt, DSmarr, DStown, DSzvnapr, DSzvzak, DSQval, DScntry;

    // The folder of the program file, without a trailing separator, in upper case: the card
    // compares chosen CV and template file names with it (upper-cased too) to store names
    // relative to the folders beside the program. It is for comparing only: on a file system
    // that minds letter case, build paths to open from programDir().
    const QString ProgramFolder;
    const QString& programDir() const { return m_programDir; } // the same folder as found

    // The datasets and data sources by the names above, in any letter case; null for an
    // unknown name (and for the data source of a dataset that has none).
    kdb::Table* findDataset(const QString& name);
    widgets::DataSource* findDataSource(const QString& name);
    QStringList datasetNames() const;    // in the module's order
    QStringList dataSourceNames() const; // likewise

    // The base the candidate list shows (0 current, 1 archive), which a new candidate joins
    // (its Arch). The candidate list calls setCandidateBase whenever its base selector
    // changes; until it does, new candidates join the current base.
    void setCandidateBase(int base) { m_candidateBase = base; }
    int candidateBase() const { return m_candidateBase; }

    // The message of the detail insert rule (information box) and of the currency guard
    // (plain message box).
    static QString saveCandidateFirstText();
    static QString baseCurrencyText();
    // The refusal of a blank name in an editable name list (plain message box). A new row with
    // a blank name is dropped without a message, as a row left untouched is.
    static QString blankNameText();

private:
    void setUpDatasets();
    void declareFieldsAndLookups();
    void installRules();
    void newCandidate(kdb::Dataset& ds);
    void newDetailRow(kdb::Dataset& ds, const QString& linkField);
    void guardBaseCurrency(kdb::Dataset& ds);
    static void refuseBlankName(kdb::Dataset& ds);

    QString m_programDir;
    int m_candidateBase = 0;
};

// The one instance, set by the start-up once the module is created; null before.
extern TDM* DM;
