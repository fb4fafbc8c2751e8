-- The table the filter cases run on: the field names of the datasets that the windows filter,
-- declared with the schema's type names.
CREATE TABLE cand (
    Keyn INTEGER PRIMARY KEY AUTOINCREMENT,
    Nb SMALLINT,
    TabNo INTEGER,
    Arch INTEGER,
    Sfr INTEGER,
    Grp INTEGER,
    Napr INTEGER,
    NameF VARCHAR(50),
    DatBd DATE,
    MF BOOLEAN,
    Oklmin INTEGER,
    Stag DOUBLE,
    Memf TEXT_MEMO,
    Pict BLOB_GRAPHIC
);
INSERT INTO cand (Nb, TabNo, Arch, Sfr, Grp, Napr, NameF, DatBd, MF, Oklmin, Stag) VALUES
    (1, 10,   0, 1, 2, 0, 'Иванов',  '1985-03-15', 1, 4000, 2.5),
    (4, NULL, 1, 1, 2, 3, 'Петрова', '1979-12-31', 0, 6000, 10),
    (1, 11,   0, 1, 3, 0, 'иванов',  '1980-01-01', 0, 4500, 0.5),
    (5, NULL, 0, 2, 2, 0, 'Сидоров', NULL,         1, 3000, NULL),
    (1, 12,   1, 1, 2, 0, 'Абрамов', '1990-06-01', 1, 4999, 1),
    (1, 10,   0, 1, 2, 0, NULL,      '1980-01-02', 1, 7000, 3),
    (4, 13,   1, 3, 0, 0, 'O''Brien', '1975-07-07', 0, 5000, 4);
