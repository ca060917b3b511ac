-- The default Tomeva catalog: FB2 books with their authors, genres and series.
--
-- SQLite SQL, run once when a new catalog file is created. Relationships are
-- declared as foreign keys; the catalog's MSysRelationships view is made from
-- them (a nullable referencing column marks an outer join). Text columns that
-- people search and sort by compare without letter case (COLLATE NOCASE).
-- Dates are ISO text 'YYYY-MM-DD HH:MM:SS'.
--
-- NOCASE is SQLite's own (it folds ASCII letters only), so every index is
-- ordered the way any SQLite orders it and the stock sqlite3 shell reads,
-- queries and integrity-checks the catalog. Lookups that must ignore the case
-- of Cyrillic letters as well use columns Tomeva adds to these tables after
-- this schema has run (src/catalog/catalog_keys.cc), each with its index:
--   Authors.LastKey, FirstKey, MiddleKey, NickKey, Series.NameKey,
--   Genres.CodeKey, Books.TitleKey   the column's text case-folded (Latin and
--                                    Cyrillic letters lowered);
--   Books.FileName                   the unique name a book is listed under:
--                                    its title (cut to 80 characters), with
--                                    " [BookId]" when the title is empty, cut,
--                                    ends in " [digits]" itself or an earlier
--                                    book has the same folded title, then
--                                    ".fb2" or ".fb2.zip";
--   Authors.FolderName,              the name an author (FullName) or series is
--   Series.FolderName                listed under, cut with " [AuthorId]" or
--                                    " [SeriesId]" when it is too long for the
--                                    file manager's name field or ends in
--                                    " [digits]" itself.
-- Triggers compute them with Tomeva's own SQL functions (tomeva_fold,
-- tomeva_shown_name). The stock sqlite3 shell therefore cannot write to
-- Authors, Series, Genres or Books: such a statement fails with "no such
-- function" and changes nothing, so no key or name goes out of date. Use
-- Tomeva to change the catalog. The catalog's version (PRAGMA user_version)
-- says it has these columns; Tomeva adds them to a catalog of an earlier
-- version when it opens it, and rebuilds its indexes in SQLite's own order.

-- An author is shown as FullName, "Last First Middle" without the empty parts,
-- under the upper-case first letter of that name (Letter). Both are computed by
-- SQLite itself (built-in functions only, so every SQLite reads them) and
-- indexed, so that a letter's authors and an author's books are index lookups.
-- The letter upper-cases ASCII and Russian letters; other letters stay as written.
CREATE TABLE Authors (
  AuthorId INTEGER PRIMARY KEY,
  Last     TEXT COLLATE NOCASE,
  First    TEXT COLLATE NOCASE,
  Middle   TEXT COLLATE NOCASE,
  Nick     TEXT COLLATE NOCASE,
  FullName TEXT COLLATE NOCASE GENERATED ALWAYS AS (
    substr(iif(coalesce(Last, '') <> '', ' ' || Last, '') ||
           iif(coalesce(First, '') <> '', ' ' || First, '') ||
           iif(coalesce(Middle, '') <> '', ' ' || Middle, ''), 2)) VIRTUAL,
  Letter   TEXT COLLATE NOCASE GENERATED ALWAYS AS (
    CASE WHEN substr(FullName, 1, 1) = '' THEN NULL
         WHEN instr('абвгдеёжзийклмнопрстуфхцчшщъыьэюя', substr(FullName, 1, 1)) > 0
         THEN substr('АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ',
                     instr('абвгдеёжзийклмнопрстуфхцчшщъыьэюя', substr(FullName, 1, 1)), 1)
         ELSE upper(substr(FullName, 1, 1)) END) VIRTUAL
);

-- FB2 genre codes (sf_history, poetry, ...) with their Russian names.
CREATE TABLE Genres (
  GenreId INTEGER PRIMARY KEY,
  Code    TEXT NOT NULL UNIQUE COLLATE NOCASE,
  Name    TEXT COLLATE NOCASE
);

CREATE TABLE Series (
  SeriesId INTEGER PRIMARY KEY,
  Name     TEXT COLLATE NOCASE
);

-- One row per book. Link is the stored file's place (case matters in file
-- names); fSize and fDate are the file's size and date; SeriesId is empty for a
-- book outside any series. TitleLetter, computed like Authors.Letter, is the
-- letter the book is listed under by title ("Б" for a book without a title,
-- which is shown as "Без названия").
CREATE TABLE Books (
  BookId     INTEGER PRIMARY KEY,
  Title      TEXT COLLATE NOCASE,
  Link       TEXT,
  fSize      INTEGER,
  fDate      TEXT,
  Lang       TEXT COLLATE NOCASE,
  SrcLang    TEXT COLLATE NOCASE,
  Year       INTEGER,
  Annotation TEXT,
  Keywords   TEXT COLLATE NOCASE,
  Publisher  TEXT COLLATE NOCASE,
  ISBN       TEXT,
  SeriesId   INTEGER REFERENCES Series (SeriesId),
  SerNo      INTEGER,
  Compressed SMALLINT,
  Added      TEXT,
  TitleLetter TEXT COLLATE NOCASE GENERATED ALWAYS AS (
    CASE WHEN substr(coalesce(nullif(Title, ''), 'Без названия'), 1, 1) = '' THEN NULL
         WHEN instr('абвгдеёжзийклмнопрстуфхцчшщъыьэюя', substr(coalesce(nullif(Title, ''), 'Без названия'), 1, 1)) > 0
         THEN substr('АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ',
                     instr('абвгдеёжзийклмнопрстуфхцчшщъыьэюя', substr(coalesce(nullif(Title, ''), 'Без названия'), 1, 1)), 1)
         ELSE upper(substr(coalesce(nullif(Title, ''), 'Без названия'), 1, 1)) END) VIRTUAL
);

CREATE TABLE BookAuthors (
  BookId   INTEGER NOT NULL REFERENCES Books (BookId) ON DELETE CASCADE,
  AuthorId INTEGER NOT NULL REFERENCES Authors (AuthorId) ON DELETE CASCADE,
  PRIMARY KEY (BookId, AuthorId)
);

CREATE TABLE BookGenres (
  BookId  INTEGER NOT NULL REFERENCES Books (BookId) ON DELETE CASCADE,
  GenreId INTEGER NOT NULL REFERENCES Genres (GenreId) ON DELETE CASCADE,
  PRIMARY KEY (BookId, GenreId)
);

CREATE INDEX AuthorsByName ON Authors (Last, First, Middle);
CREATE INDEX AuthorsByFullName ON Authors (FullName);
CREATE INDEX AuthorsByLetter ON Authors (Letter, FullName);
CREATE INDEX BooksByTitleLetter ON Books (TitleLetter);
CREATE INDEX BooksByTitle ON Books (Title);
CREATE INDEX BooksBySeries ON Books (SeriesId);
CREATE INDEX BooksByYear ON Books (Year);
CREATE INDEX BookAuthorsByAuthor ON BookAuthors (AuthorId);
CREATE INDEX BookGenresByGenre ON BookGenres (GenreId);
CREATE INDEX SeriesByName ON Series (Name);

-- ---------------------------------------------------------------------------
-- Collections: books that live as members of ZIP archives of a library
-- distribution (an NAME.inpx index with its archives beside it).
--
-- A Collections row names the index it was imported from: its folder (Folder,
-- absolute; the archives lie there), the index file name (IndexFile), the
-- collection's name and the index's version line. A book of a collection has
-- no Link (it has no file of its own); instead Books.CollectionId names its
-- collection, Books.Archive the archive's file name inside the collection's
-- folder ("fb2-000024-030559.zip") and Books.Member the member's name in that
-- archive ("30559.fb2"). Books.LibId is the library's id of the book, unique
-- within its collection: a newer index updates exactly the books it names.
-- Books of one's own (imported files) have these four columns empty.
-- ---------------------------------------------------------------------------
CREATE TABLE Collections (
  CollectionId INTEGER PRIMARY KEY,
  Name         TEXT COLLATE NOCASE,
  Folder       TEXT NOT NULL,
  IndexFile    TEXT NOT NULL,
  Version      TEXT,
  UNIQUE (Folder, IndexFile)
);
ALTER TABLE Books ADD COLUMN CollectionId INTEGER REFERENCES Collections (CollectionId);
ALTER TABLE Books ADD COLUMN Archive TEXT;
ALTER TABLE Books ADD COLUMN Member TEXT;
ALTER TABLE Books ADD COLUMN LibId TEXT;
CREATE UNIQUE INDEX BooksByCollectionLibId ON Books (CollectionId, LibId)
  WHERE CollectionId IS NOT NULL;
