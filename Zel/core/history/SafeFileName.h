// Turns a name that came from a network or a peer into one bare file name that stays inside the
// folder it is appended to, and that no other name turns into: the mapping can be undone, so two
// names never share a file.
//
// A unit is written as '%' and its code in two upper-case hexadecimal digits when it is
// - one the file system refuses in a name: a control character or one of \ / : * ? " < > |;
// - a dot followed by a dot, so that no ".." remains;
// - a dot or a space at the end, which the file system would drop;
// - the first letter of a device name the file system opens in every folder ("CON", "nul.txt");
// - a '%' followed by two hexadecimal digits, which would otherwise read as such a code.
// Every other unit stays as it is, so a name that is already a safe file name (a '%' alone among
// them) keeps its file. An empty name stays empty: it names no file.
//
// The file system compares names without regard to case; so does the reverse of this mapping, so
// two names give the same file only when they differ in letter case alone.
#pragma once

#include "ZELCommon/ZELString.h"

CZELString MakeSafeFileName(const CZELString& name);

// MakeSafeFileName's, with every '_' written as "%5F" too: parts made so and joined with "_" can be
// told apart again, so no two lists of parts give one name.
CZELString MakeSafeFilePart(const CZELString& name);

// The file name a received file is stored under in the history folder: MakeSafeFileName's, with
// ".bin" added to a name that would end like a history file or its set-aside damaged bytes
// (".zhf", ".damaged"), so a peer can never write into a history.
CZELString MakeTransferFileName(const CZELString& name);
