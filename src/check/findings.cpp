// The checker's findings: collected as the lists and messages are read, then printed one a line,
// "file:line: text", in the order of the files and their lines, so that a user can go down a
// file and mend it. Also the quoting of a text for the terminal.
#include "check/check.h"

#include <stdarg.h>
#include <stdlib.h>
#include <string.h>

struct Finding {
    FindingFile where;
    int line;
    int order; // when it was found: the tie-breaker
    int isNote;
    char *text;
};

struct Findings {
    FILE *out; // where a finding goes at once when there is no room to keep it
    Finding *items;
    int count;
    int capacity;
};

Findings *NewFindings(FILE *out) {
    Findings *findings = (Findings *)calloc(1, sizeof(Findings));
    if (findings)
        findings->out = out;
    return findings;
}

// Keeps one line of output; a finding that cannot be kept is printed at once instead, so that
// nothing found goes unsaid.
static void Keep(Findings *findings, FindingFile where, int line, int isNote, const char *text) {
    if (findings->count == findings->capacity) {
        int capacity = findings->capacity ? 2 * findings->capacity : 64;
        Finding *items = (Finding *)realloc(findings->items, capacity * sizeof(Finding));
        if (!items) {
            fprintf(findings->out, "%s\n", text);
            return;
        }
        findings->items = items;
        findings->capacity = capacity;
    }
    size_t size = strlen(text) + 1;
    char *copy = (char *)calloc(size, 1);
    if (!copy) {
        fprintf(findings->out, "%s\n", text);
        return;
    }
    memcpy(copy, text, size);
    findings->items[findings->count] = Finding{where, line, findings->count, isNote, copy};
    findings->count++;
}

static void Add(Findings *findings, FindingFile where, const char *fileName, int line, int isNote,
                const char *format, va_list args) {
    char text[kFindingSize];
    int used = line > 0 ? snprintf(text, sizeof text, "%s:%d: ", fileName, line)
                        : snprintf(text, sizeof text, "%s: ", fileName);
    if (isNote)
        used += snprintf(text + used, sizeof text - used, "note: ");
    vsnprintf(text + used, sizeof text - used, format, args);
    Keep(findings, where, line, isNote, text);
}

void AddFinding(Findings *findings, FindingFile where, const char *fileName, int line,
                const char *format, ...) {
    va_list args;
    va_start(args, format);
    Add(findings, where, fileName, line, 0, format, args);
    va_end(args);
}

void AddNote(Findings *findings, FindingFile where, const char *fileName, int line,
             const char *format, ...) {
    va_list args;
    va_start(args, format);
    Add(findings, where, fileName, line, 1, format, args);
    va_end(args);
}

static int CompareFindings(const void *a, const void *b) {
    const Finding *x = (const Finding *)a, *y = (const Finding *)b;
    if (x->where != y->where)
        return x->where < y->where ? -1 : 1;
    if (x->line != y->line)
        return x->line < y->line ? -1 : 1;
    return x->order < y->order ? -1 : x->order > y->order;
}

int PrintFindings(Findings *findings, FILE *out, int *notes) {
    int count = 0;
    *notes = 0;
    if (findings->count > 0)
        qsort(findings->items, findings->count, sizeof(Finding), CompareFindings);
    for (int i = 0; i < findings->count; i++) {
        fprintf(out, "%s\n", findings->items[i].text);
        if (findings->items[i].isNote)
            (*notes)++;
        else
            count++;
        free(findings->items[i].text);
    }
    free(findings->items);
    free(findings);
    return count;
}

const char *QuotedBytes(const char *bytes, size_t size, char *out) {
    static const char kHex[] = "0123456789ABCDEF";
    size_t used = 0;
    out[used++] = '"';
    for (const unsigned char *p = (const unsigned char *)bytes;
         p < (const unsigned char *)bytes + size; p++) {
        if (used + 6 > (size_t)kShownSize)
            break;
        if (*p >= 0x20 && *p < 0x7F && *p != '"' && *p != '\\') {
            out[used++] = (char)*p;
            continue;
        }
        out[used++] = '\\';
        if (*p == '"' || *p == '\\') {
            out[used++] = (char)*p;
            continue;
        }
        out[used++] = 'x';
        out[used++] = kHex[*p >> 4];
        out[used++] = kHex[*p & 0xF];
    }
    out[used++] = '"';
    out[used] = '\0';
    return out;
}

const char *Quoted(const char *text, char *out) {
    return QuotedBytes(text, strlen(text), out);
}
