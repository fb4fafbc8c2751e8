-- Кадролог: the picture store of the program folder.
--
-- The windows open PICTR.DB by its bare file name, so it is found in the program's current
-- folder (the program folder), not in Data. Each row is one picture by its fixed key; the
-- program only reads it.

CREATE TABLE pictr (
    "Keyn" INTEGER PRIMARY KEY,
    "Pict" BLOB_GRAPHIC
);
