-- The error journal: one row per failure the kiosk records; staff read it with outside tools.
CREATE TABLE IF NOT EXISTS Erreurs (
    NumErreur  INTEGER PRIMARY KEY AUTOINCREMENT,
    DateErreur TEXT NOT NULL,   -- local time, "yyyy-MM-dd HH:mm:ss"
    Contexte   TEXT NOT NULL,   -- the reporting routine
    Erreur     TEXT NOT NULL    -- what happened
);
