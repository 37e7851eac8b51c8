-- The store database of the kiosk (SQLite). Applied by "movendi-admin init", which on an
-- existing store adds only what is missing (hence IF NOT EXISTS); the kiosk itself creates no
-- table. Currency columns hold a count of 1/10000 euro (INTEGER, and CHECK refuses
-- anything else: a real number, a text, a negative value); moments are text
-- "yyyy-MM-dd HH:mm:ss", days "yyyy-MM-dd".

CREATE TABLE IF NOT EXISTS InfoSociete (
    Id         INTEGER PRIMARY KEY,
    Nom        TEXT,
    Adresse    TEXT,
    Ville      TEXT,
    CodePostal TEXT,
    Tel        TEXT,
    Fax        TEXT
);

CREATE TABLE IF NOT EXISTS ArticleEnStock (
    Reference     INTEGER PRIMARY KEY,
    Designation   TEXT NOT NULL,
    DesignationEN TEXT,
    Prix          INTEGER                     -- currency, price including tax; null = no price
                  CHECK (Prix IS NULL OR (typeof(Prix) = 'integer' AND Prix >= 0)),
    EcoTaxe       INTEGER NOT NULL DEFAULT 0  -- currency
                  CHECK (typeof(EcoTaxe) = 'integer' AND EcoTaxe >= 0),
    Famille       INTEGER NOT NULL,           -- 1 telephone, 2 top-up voucher
    Marque        VARCHAR(250),
    CodeBar       VARCHAR(13),
    Image         TEXT                        -- picture and description base name
);

CREATE TABLE IF NOT EXISTS EmplacementsMachine1 (
    NoEmpl     INTEGER PRIMARY KEY,
    Colonne    INTEGER NOT NULL CHECK (Colonne BETWEEN 1 AND 36),
    Etage      INTEGER NOT NULL,              -- below 3 top-up vouchers, above 2 telephones
    Reference  INTEGER REFERENCES ArticleEnStock (Reference),
    IMEI       VARCHAR(15),
    NoSIM      VARCHAR(50),
    EAN13      VARCHAR(13),
    NoCommande VARCHAR(100),
    UNIQUE (Colonne, Etage)
);

CREATE TABLE IF NOT EXISTS Ventes (
    NumVente             INTEGER PRIMARY KEY AUTOINCREMENT,
    LaDate               TEXT NOT NULL,
    DateTelecollecte     TEXT,
    NoCBClient           VARCHAR(20),
    IdentMachine         VARCHAR(50),
    NoRemiseTelecollecte INTEGER,
    Ticket               VARCHAR(1000),
    -- Whether the card was debited: 0 yes (or nothing was left to debit); 1 no, the debit was
    -- refused or failed although the goods left the machine; 2 the debit was sent but its answer
    -- never came (a sale settled after an interruption): to be checked against the remittance.
    StatutDebit          INTEGER NOT NULL DEFAULT 0 CHECK (StatutDebit IN (0, 1, 2)),
    -- 1: recorded at start-up, the sale having been cut short (power cut, crash).
    Reprise              INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX IF NOT EXISTS VentesParDate ON Ventes (LaDate);

-- The sale in flight, written in one durable transaction before each step that cannot be
-- undone (authorisation granted, a door about to open, a locker freed, the debit sent and
-- answered, the sale recorded, the ticket printed), so that a sale cut short is settled at the
-- next start-up. Etat1/Etat2 (the article, the top-up): 0 not started, 1 its door about to open,
-- 2 reached by the customer (its locker freed in the same transaction), 3 not delivered.
CREATE TABLE IF NOT EXISTS JournalVente (
    Id                      INTEGER PRIMARY KEY AUTOINCREMENT,
    Debut                   TEXT NOT NULL,
    Etape                   TEXT NOT NULL,
    Cloturee                INTEGER NOT NULL DEFAULT 0,
    RefArticle              INTEGER NOT NULL,
    RefRecharge             INTEGER NOT NULL DEFAULT 0,
    PrixRechargeCentimes    INTEGER NOT NULL DEFAULT 0,
    MontantAutoriseCentimes INTEGER NOT NULL,
    Langue                  TEXT,
    NoEmpl1 INTEGER, Etat1 INTEGER NOT NULL DEFAULT 0,
    IMEI1 TEXT, NoSIM1 TEXT, EAN131 TEXT, NoCommande1 TEXT,
    NoEmpl2 INTEGER, Etat2 INTEGER NOT NULL DEFAULT 0,
    IMEI2 TEXT, NoSIM2 TEXT, EAN132 TEXT, NoCommande2 TEXT,
    MontantDebitCentimes    INTEGER,
    DebitEnvoye             INTEGER NOT NULL DEFAULT 0,
    ResultatDebit           INTEGER,
    NoCBClient              TEXT,
    NoRemise                INTEGER,
    TicketClient            TEXT,
    TicketCommercant        TEXT,
    NumVente                INTEGER REFERENCES Ventes (NumVente)
);

CREATE TABLE IF NOT EXISTS DetailVente (
    Id              INTEGER PRIMARY KEY AUTOINCREMENT,
    NoVente         INTEGER NOT NULL REFERENCES Ventes (NumVente),
    Montant         INTEGER                   -- currency
                    CHECK (Montant IS NULL OR (typeof(Montant) = 'integer' AND Montant >= 0)),
    EcoTaxe         INTEGER                   -- currency
                    CHECK (EcoTaxe IS NULL OR (typeof(EcoTaxe) = 'integer' AND EcoTaxe >= 0)),
    TVA             REAL,                     -- percent
    RefProduit      VARCHAR(250) REFERENCES ArticleEnStock (Reference),
    Designation     VARCHAR(250),
    Marque          VARCHAR(250),
    NoIMEI          VARCHAR(50),
    NoSIM           VARCHAR(50),
    EAN13recharge   VARCHAR(50),
    NoSerieRecharge VARCHAR(50),
    Quantite        INTEGER,
    NoFamille       INTEGER,
    NoCommande      VARCHAR(100),
    TypeMouvement   INTEGER,
    SynchroServ     INTEGER                   -- null or 0 not yet sent, 1 sent
);
CREATE INDEX IF NOT EXISTS DetailParVente ON DetailVente (NoVente);

CREATE TABLE IF NOT EXISTS Telecollectes (
    Id            INTEGER PRIMARY KEY AUTOINCREMENT,
    LaDate        TEXT NOT NULL,
    NbTransaction INTEGER,
    Montant       INTEGER                     -- currency
                  CHECK (Montant IS NULL OR (typeof(Montant) = 'integer' AND Montant >= 0)),
    NoRemise      INTEGER NOT NULL,
    Ticket        VARCHAR(2000),
    TransmitOK    INTEGER NOT NULL DEFAULT 0
);

-- Transfert: 0 waiting, 1 taken whole by the server. Echecs counts the runs in which the server
-- refused the file; at 3 it is set aside (MisDeCote 1, kept on disk, shown by movendi-admin
-- synchro) and the files after it go on. MisDeCote 2: recorded but missing from disk. Motif:
-- the last reason.
CREATE TABLE IF NOT EXISTS FichierTransfer (
    Id         INTEGER PRIMARY KEY AUTOINCREMENT,
    NomFichier TEXT NOT NULL,
    Transfert  INTEGER NOT NULL DEFAULT 0,
    Echecs     INTEGER NOT NULL DEFAULT 0,
    MisDeCote  INTEGER NOT NULL DEFAULT 0,
    Motif      TEXT
);

-- What the kiosk keeps of its own state: DernierJourTelecollecte (the day of the last nightly
-- run, so that a restart inside the window does not remit again) and VerificationEcriture (the
-- last check that the store takes writes).
CREATE TABLE IF NOT EXISTS EtatKiosque (
    Cle    TEXT PRIMARY KEY,
    Valeur TEXT
);

-- The fleet's outbox: one row per event for the operator's broker, written in the transaction
-- of what it reports and deleted once the broker acknowledged it. Seq never goes back (the last
-- one given is kept in EtatKiosque as SeqFlotte, and above it, beside the store file, in
-- NOM.seq, which a restored backup does not bring back). Charge: the event's own fields (JSON).
CREATE TABLE IF NOT EXISTS BoiteEnvoi (
    Seq        INTEGER PRIMARY KEY,
    Horodatage TEXT NOT NULL,
    Type       TEXT NOT NULL,
    Charge     TEXT NOT NULL
);

-- Every refill, destocking, inventory print and door presentation of the refill screen.
-- Ecran: the routine; Code: what was scanned or typed; Resultat: what came of it; Personnel:
-- whose badge opened the screen, when badges are asked for.
CREATE TABLE IF NOT EXISTS AuditStock (
    Id        INTEGER PRIMARY KEY AUTOINCREMENT,
    LaDate    TEXT NOT NULL,
    Ecran     TEXT NOT NULL,
    Code      TEXT,
    NoEmpl    INTEGER,
    Reference INTEGER,
    Resultat  TEXT NOT NULL,
    Personnel TEXT
);
CREATE INDEX IF NOT EXISTS AuditParDate ON AuditStock (LaDate);

CREATE TABLE IF NOT EXISTS TransfertExportCSV (
    Id      INTEGER PRIMARY KEY AUTOINCREMENT,
    Fichier TEXT NOT NULL,
    LaDate  TEXT NOT NULL DEFAULT (datetime('now', 'localtime'))
);

-- The period of the sales report, set by RapportCVSDetailVente before ExportCSVvente is read.
CREATE TABLE IF NOT EXISTS PeriodeRapport (
    Debut TEXT NOT NULL,
    Fin   TEXT NOT NULL
);

-- The catalogue with the units in the machine, counted from the occupied locations.
CREATE VIEW IF NOT EXISTS StockGlobal AS
SELECT a.Reference, a.Designation, a.DesignationEN, a.Prix AS prix, a.EcoTaxe, a.Famille,
       (SELECT COUNT(*) FROM EmplacementsMachine1 e WHERE e.Reference = a.Reference) AS QteEnMachine,
       a.Image
FROM ArticleEnStock a;

-- Sale details not yet sent to the server, with their sale.
CREATE VIEW IF NOT EXISTS Detail AS
SELECT v.NumVente, v.LaDate, v.NoCBClient, d.TypeMouvement, v.IdentMachine, v.NoRemiseTelecollecte,
       v.DateTelecollecte, v.Ticket, d.NoVente, d.Montant, d.EcoTaxe, d.TVA, d.RefProduit, d.Designation,
       d.Marque, d.NoIMEI, d.NoSIM, d.Quantite, d.NoFamille, d.EAN13recharge, d.NoSerieRecharge,
       d.SynchroServ, d.NoCommande, d.Id AS IdDetail
FROM DetailVente d JOIN Ventes v ON v.NumVente = d.NoVente
WHERE d.SynchroServ IS NULL OR d.SynchroServ <> 1;

-- Accounting rows: amounts as decimal text with a comma, as the accountants' spreadsheet reads them;
-- a missing amount stays missing (nothing in the file), never "0,00".
CREATE VIEW IF NOT EXISTS ExportCSVvente AS
SELECT v.NumVente, v.LaDate, v.IdentMachine, d.RefProduit, d.Designation, d.NoIMEI, d.NoSIM, d.NoCommande,
       CASE WHEN d.Montant IS NOT NULL THEN replace(printf('%.2f', d.Montant / 10000.0), '.', ',') END AS Montant,
       CASE WHEN d.EcoTaxe IS NOT NULL THEN replace(printf('%.2f', d.EcoTaxe / 10000.0), '.', ',') END AS EcoTaxe,
       CASE WHEN d.TVA IS NOT NULL THEN replace(printf('%.1f', d.TVA), '.', ',') END AS TVA,
       v.NoCBClient, v.NoRemiseTelecollecte
FROM DetailVente d JOIN Ventes v ON v.NumVente = d.NoVente
WHERE d.NoFamille = 1
  AND v.LaDate >= (SELECT Debut FROM PeriodeRapport LIMIT 1)
  AND v.LaDate <= (SELECT Fin FROM PeriodeRapport LIMIT 1);

CREATE VIEW IF NOT EXISTS ExportCSVrecharge AS
SELECT v.NumVente, v.LaDate, v.IdentMachine, d.RefProduit, d.Designation, d.EAN13recharge, d.NoSerieRecharge,
       d.NoCommande,
       CASE WHEN d.Montant IS NOT NULL THEN replace(printf('%.2f', d.Montant / 10000.0), '.', ',') END AS Montant,
       CASE WHEN d.TVA IS NOT NULL THEN replace(printf('%.1f', d.TVA), '.', ',') END AS TVA,
       v.NoCBClient, v.NoRemiseTelecollecte, d.Id
FROM DetailVente d JOIN Ventes v ON v.NumVente = d.NoVente
WHERE d.NoFamille = 2;
