-- Ambrelle business database.
--
-- Column kinds keep the engine's old behaviour on SQLite:
--   keys      INTEGER PRIMARY KEY AUTOINCREMENT  (the allocator never goes back)
--   text      TEXT / MEMO TEXT COLLATE NOCASE     (text compares without case; a bare MEMO would
--                                                 take numeric affinity and turn '01' into 1)
--   date/time DATETIME, canonical 'YYYY-MM-DD HH:MM:SS' text
--   currency  CURRENCY, rounded to 4 decimals on write
--   Yes/No    YESNO, 0 or 1
-- The access layer reads these declared kinds to type values, so keep the names.

CREATE TABLE JobDetails (
    JobID              INTEGER PRIMARY KEY AUTOINCREMENT,
    Start              DATETIME,
    Finish             DATETIME,
    Duration           TEXT COLLATE NOCASE,
    Description        MEMO TEXT COLLATE NOCASE,
    PO_Number          TEXT COLLATE NOCASE,
    Fee                CURRENCY,
    CustomerID         INTEGER,
    StageID            INTEGER,
    Cancelled          YESNO NOT NULL DEFAULT 0,
    InvoiceNumber      INTEGER NOT NULL DEFAULT 0,
    MasterAppointment  INTEGER DEFAULT 0,
    Pattern            TEXT COLLATE NOCASE DEFAULT '',
    SignedOff          YESNO NOT NULL DEFAULT 0,
    Outlook_REF        TEXT COLLATE NOCASE DEFAULT '',
    Outlook_LastUpdate DATETIME
);

CREATE TABLE Billing (
    InvoiceNumber         INTEGER PRIMARY KEY AUTOINCREMENT,
    CompanyID             INTEGER,
    BillingDate           DATETIME,
    InvoiceAmount         CURRENCY,
    InvoicePaymentDetails MEMO TEXT COLLATE NOCASE,
    PaymentDueDate        DATETIME,
    PaymentMade           YESNO NOT NULL DEFAULT 0,
    PaymentDate           DATETIME,
    -- below 2 = saved; a new invoice must count as outstanding
    Stage                 INTEGER NOT NULL DEFAULT 0
);

-- No key of its own is used; rows are reached by rowid.
CREATE TABLE billing_part_payment (
    invoiceid INTEGER,
    Date      DATETIME,
    Amount    CURRENCY
);

CREATE TABLE Companies (
    CompanyID                    INTEGER PRIMARY KEY AUTOINCREMENT,
    CompanyName                  TEXT COLLATE NOCASE,
    Postal_AddressStreet         TEXT COLLATE NOCASE,
    Postal_AddressTown           TEXT COLLATE NOCASE,
    Postal_AddressCounty         TEXT COLLATE NOCASE,
    Postal_AddressCountry        TEXT COLLATE NOCASE,
    Postal_AddressPostcode       TEXT COLLATE NOCASE,
    Billing_AddressStreet        TEXT COLLATE NOCASE,
    Billing_AddressTown          TEXT COLLATE NOCASE,
    Billing_AddressCounty        TEXT COLLATE NOCASE,
    Billing_AddressCountry       TEXT COLLATE NOCASE,
    Billing_AddressPostcode      TEXT COLLATE NOCASE,
    IsBillingAddressSameasPostal YESNO NOT NULL DEFAULT 0,
    Telephone1                   TEXT COLLATE NOCASE,
    Telephone2                   TEXT COLLATE NOCASE,
    Fax                          TEXT COLLATE NOCASE,
    Website                      TEXT COLLATE NOCASE
);

CREATE TABLE contacts (
    contactID       INTEGER PRIMARY KEY AUTOINCREMENT,
    CompanyID       INTEGER,
    Firstname       TEXT COLLATE NOCASE,
    Lastname        TEXT COLLATE NOCASE,
    Position        TEXT COLLATE NOCASE,
    DirectTelephone TEXT COLLATE NOCASE,
    MobileTelephone TEXT COLLATE NOCASE,
    EmailAddress1   TEXT COLLATE NOCASE,
    EmailAddress2   TEXT COLLATE NOCASE
);

CREATE TABLE Outgoings (
    RecordID    INTEGER PRIMARY KEY AUTOINCREMENT,
    ScheduleID  INTEGER DEFAULT 0,
    Type        TEXT COLLATE NOCASE,
    Description TEXT COLLATE NOCASE,
    Milage      INTEGER NOT NULL DEFAULT 0,
    Amount      CURRENCY,
    Reciept     YESNO NOT NULL DEFAULT 0,
    Date        DATETIME
);

CREATE TABLE System (
    id        INTEGER PRIMARY KEY AUTOINCREMENT,
    FieldName TEXT COLLATE NOCASE,
    Value     MEMO TEXT COLLATE NOCASE,
    Image     PICTURE,
    opt1      INTEGER,
    fieldID   INTEGER
);

-- No key of its own is used; a lookup takes the first row.
CREATE TABLE sync (
    RecordType   TEXT COLLATE NOCASE,
    RecordID     INTEGER,
    LastSyncDate DATETIME,
    synctype     TEXT COLLATE NOCASE
);

CREATE INDEX JobDetails_Start ON JobDetails (Start);
CREATE INDEX JobDetails_Finish ON JobDetails (Finish);
CREATE INDEX JobDetails_InvoiceNumber ON JobDetails (InvoiceNumber);
CREATE INDEX JobDetails_MasterAppointment ON JobDetails (MasterAppointment);
CREATE INDEX Outgoings_ScheduleID ON Outgoings (ScheduleID);
CREATE INDEX Billing_CompanyID ON Billing (CompanyID);
CREATE INDEX Billing_BillingDate ON Billing (BillingDate);
CREATE INDEX Outgoings_Date ON Outgoings (Date);
CREATE INDEX contacts_CompanyID ON contacts (CompanyID);
