// The number lists: "Accept Always.txt" and "Block.txt", read once at start-up into the fixed
// tables of the state record.
#ifndef RINGWARD_LISTS_H
#define RINGWARD_LISTS_H

extern const char kAcceptFileName[]; // "Accept Always.txt"
extern const char kBlockFileName[];  // "Block.txt"
// The boxes a full table shows, formatted with the number of slots.
extern const char kAcceptLimitFormat[];
extern const char kBlockLimitFormat[];

// Fills acceptList and acceptCount. A file that cannot be opened leaves the list empty.
void LoadAcceptList(void);

// Fills blockList, blockMessages and blockCount. Returns 0 on success; -1 when the file cannot
// be opened, after reporting it.
int LoadBlockList(void);

// Splits a writable line at its first "@": line keeps the canonical number part, messageName
// (kMessageNameSize bytes) receives the message file name, both possibly empty.
void ParseBlockEntry(char *line, char *messageName);

#endif
