// Opening a database for the command-line tools: the host path exactly as given, with no device path in
// between, so any name the host allows works (backslashes, bytes that are not UTF-8), or standard input
// for "-". The storage form comes from the name (".zdb") or from the gzip magic at the start of a regular
// file; standard input and pipes go through zlib, which hands on data that is not gzip unchanged.
#pragma once

#include "db/database_reader.h"

#include <string>

// Opens the database and reads and checks its header. Codes:
//   0 open: header holds its 29 bytes and the reader stands before the first length byte
//  -1 refused, problem says why: the system's reason, a folder, or not a database (fewer than 29 header
//     bytes, or a format mark other than 11); nothing stays open
int OpenToolDatabase(const std::string& path, DatabaseReader* reader,
                     unsigned char header[DatabaseHeaderSize], std::string* problem);
