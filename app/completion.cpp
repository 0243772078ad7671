// TAB completion at the prompt: the words of the command being typed, the symbol table's names,
// file names (by the keyboard reader).
#include "app/completion.h"

#include <cstring>
#include <strings.h>

#include "app/device_config.h"
#include "pnp/resource_items.h"
#include "script/strings.h"
#include "script/symtab.h"
#include "shell/cgets.h"
#include "shell/help.h"

// Not '.', '/', '-', ':', '\\' and '~', which belong to file names; '$' and '@' are here so that
// "$na" completes "na" and "@fi" "fi".
const char* const completion_breaks = " \t\n\"'`@$<>=;|&{}()[],#!";

namespace {

// Words no table of the program holds (each handler tests its own literals): the tests
// (tests/app/completion_test.cpp, device_config_test.cpp) hold every one to its handler.
// The words that begin a command: those of the command loop (EXIT, QUIT, RETURN), of ELSE's check
// and of the handlers, without the short forms (CONT, DEL, DEV, SH), so that a prefix of a full
// word completes it at once.
const char* const command_words[] = {
    "BREAK",  "CALL",  "CHAR", "CONTINUE", "DEBUG",   "DELETE", "DETECT",   "DEVICE",
    "DUMP",   "ECHO",  "ELSE", "EXIT",     "FILE",    "FOR",    "FUNCTION", "GET",
    "HELP",   "IF",    "INT",  "INT32",    "ISOLATE", "PRINT",  "QUIT",     "QUOTE",
    "RETURN", "SHELL", "SHOW", "STATUS",   "TEST",    "WHILE",  nullptr,
};
const char* const device_actions[] = {"BEGIN", "END", "SET", nullptr};  // DEVICE, by abbreviation
const char* const clear_words[] = {"CLEAR", nullptr};                   // DEVICE SET resource
const char* const dump_words[] = {"CARD", "RESOURCES", "DEVICE", nullptr};
const char* const dump_device_words[] = {"ALL", nullptr};
const char* const isolate_words[] = {"CSN", "RESET", "RESET_DRV", nullptr};
const char* const mode_words[] = {"ON", "OFF", nullptr};  // DEBUG, ECHO, QUOTE
const char* const show_words[] = {"HEX", nullptr};
const char* const file_words[] = {"CLOSE", nullptr};
const char* const dollar_words[] = {"NOW", "PNP_CARDS", nullptr};  // $NOW, the time; the cards isolated

// Where candidate words come from.
enum SOURCE_KIND { SRC_LIST, SRC_SYMBOLS, SRC_SET_WORDS, SRC_WIDTHS, SRC_IRQ_WORDS, SRC_HELP, SRC_BUILTINS };
// Which symbols (SRC_SYMBOLS).
enum { SYM_VARIABLES = 1, SYM_FUNCTIONS = 2, SYM_ALL = 3 };

struct SOURCE_TYP {
    short kind;
    const char* const* list;  // SRC_LIST: null-ended
    short symbols;            // SRC_SYMBOLS: SYM_ bits
};

enum { SOURCES_MAX = 4, TOKENS_KEPT = 8, RESOURCE_SIZE = 16, CANDIDATE_SIZE = 1024, ITEMS_MAX = 0x7FFF };

// The completion under way.
struct COMPLETION_TYP {
    const char* word;  // the typed word (the rest of the line)
    size_t length;
    short lower;  // candidates in lower case
    SOURCE_TYP sources[SOURCES_MAX];
    short count;                     // sources in use
    short at;                        // the source being walked
    short item;                      // its next item
    char resource[RESOURCE_SIZE];    // SRC_WIDTHS: the DEVICE SET resource word
    char candidate[CANDIDATE_SIZE];  // what completion_next returned last
} c;

// The tokens of the command before the word: words (runs of characters other than blanks and
// breaks, or a quoted text) and single break characters. The first TOKENS_KEPT are kept.
struct SCAN_TYP {
    short count;
    const char* text[TOKENS_KEPT];
    size_t length[TOKENS_KEPT];
    const char* last_word;  // the last word token before the word, null when none
    size_t last_length;
    short quoted;   // the word is inside quotes
    short comment;  // the word is after '#' or ';'
};

short is_break(char ch) { return ch && strchr(completion_breaks, ch) != nullptr; }

void add_token(SCAN_TYP& s, const char* text, size_t length) {
    if (s.count < TOKENS_KEPT) {
        s.text[s.count] = text;
        s.length[s.count] = length;
    }
    if (s.count < ITEMS_MAX) s.count++;
}

// Reads line[0, start) as the tokenizer would see the command: a '{' or '}' ends one and begins
// another, a first word ELSE is dropped.
void scan(const char* line, int start, SCAN_TYP& s) {
    memset(&s, 0, sizeof s);
    int i = 0;
    while (i < start) {
        char ch = line[i];
        if (ch == ' ' || ch == '\t') {
            i++;
        } else if (ch == '"' || ch == '\'') {
            const char* close = (const char*)memchr(line + i + 1, ch, (size_t)(start - i - 1));
            if (!close) {
                s.quoted = 1;
                return;
            }
            add_token(s, line + i, (size_t)(close - line - i + 1));
            i = (int)(close - line) + 1;
        } else if (ch == '#' || ch == ';') {
            s.comment = 1;
            return;
        } else if (ch == '{' || ch == '}') {
            s.count = 0;
            s.last_word = nullptr;
            i++;
        } else if (is_break(ch)) {
            add_token(s, line + i, 1);
            i++;
        } else {
            int j = i;
            while (j < start && line[j] && line[j] != ' ' && line[j] != '\t' && !is_break(line[j])) j++;
            if (s.count == 0 && j - i == 4 && strncasecmp(line + i, "ELSE", 4) == 0) {
                i = j;
                continue;
            }
            add_token(s, line + i, (size_t)(j - i));
            s.last_word = line + i;
            s.last_length = (size_t)(j - i);
            i = j;
        }
    }
}

// Token k is word (exactly, any case), or alias when that is not null.
short token_is(const SCAN_TYP& s, short k, const char* word, const char* alias = nullptr) {
    if (k >= s.count || k >= TOKENS_KEPT) return 0;
    if (strlen(word) == s.length[k] && strncasecmp(s.text[k], word, s.length[k]) == 0) return 1;
    return alias ? token_is(s, k, alias) : 0;
}

// Token k abbreviates word, as the handlers' WC::streq takes it.
short token_abbreviates(const SCAN_TYP& s, short k, const char* word) {
    if (k >= s.count || k >= TOKENS_KEPT || s.length[k] == 0 || s.length[k] > strlen(word)) return 0;
    return strncasecmp(s.text[k], word, s.length[k]) == 0;
}

// 1 when the text has a lower-case letter and no upper-case one, 0 when it has an upper-case
// one, -1 when it has no letter.
short lower_case(const char* text, size_t length) {
    short lower = -1;
    for (size_t i = 0; i < length; i++) {
        if (text[i] >= 'A' && text[i] <= 'Z') return 0;
        if (text[i] >= 'a' && text[i] <= 'z') lower = 1;
    }
    return lower;
}

void add_source(short kind, const char* const* list = nullptr, short symbols = 0) {
    if (c.count >= SOURCES_MAX) return;
    c.sources[c.count++] = SOURCE_TYP{kind, list, symbols};
}

// Item k of a source: its word, "" for an item passed over, null past the last.
const char* source_item(const SOURCE_TYP& s, short k) {
    switch (s.kind) {
    case SRC_LIST: return s.list[k];
    case SRC_SYMBOLS: {
        if (k >= symtab.count || !symtab.index) return nullptr;
        const SYMBOL_TYP* sym = symtab.index[k];
        short bit = sym && sym->type == T_FUNCTION ? SYM_FUNCTIONS : SYM_VARIABLES;
        return sym && sym->name && (s.symbols & bit) ? sym->name : "";
    }
    case SRC_SET_WORDS: return device_set_word(k, nullptr);
    case SRC_WIDTHS: return device_width_word(c.resource, k);
    case SRC_IRQ_WORDS: {
        // The polarities, then the triggers, as DEVICE SET IRQ tries them; each word once.
        if (k >= 2 * RES_IRQ_TYPE_COUNT) return nullptr;
        short trigger = k >= RES_IRQ_TYPE_COUNT;
        auto word = [trigger](short row) {
            return trigger ? res_irq_type_table[row].trigger : res_irq_type_table[row].polarity;
        };
        short row = (short)(k % RES_IRQ_TYPE_COUNT);
        for (short r = 0; r < row; r++)
            if (strcmp(word(r), word(row)) == 0) return "";
        return word(row);
    }
    case SRC_HELP: return help_topic(k);
    case SRC_BUILTINS: return builtin_name(k);
    default: return nullptr;
    }
}

// What fits after the command's tokens: sources added, the offer returned.
short command_offer(const SCAN_TYP& s) {
    if (s.count == 0) {
        add_source(SRC_LIST, command_words);
        add_source(SRC_SYMBOLS, nullptr, SYM_VARIABLES);
        return CGETS_OFFER_WORDS;
    }
    if (token_is(s, 0, "@")) return s.count == 1 ? CGETS_OFFER_FILES : 0;
    if (token_is(s, 0, "!") || token_is(s, 0, "SHELL", "SH")) return CGETS_OFFER_FILES;
    if (token_is(s, 0, "DEVICE", "DEV")) {
        if (s.count == 1) add_source(SRC_LIST, device_actions);
        if (s.count == 2 && token_abbreviates(s, 1, "SET")) add_source(SRC_SET_WORDS);
        if (s.count < 3 || !token_abbreviates(s, 1, "SET")) return c.count ? CGETS_OFFER_WORDS : 0;
        short values = 0;
        for (short k = 0; k < ITEMS_MAX; k++) {
            const char* w = device_set_word(k, &values);
            if (!w) return 0;
            if (token_is(s, 2, w)) break;
        }
        if (s.count == 3 && values) add_source(SRC_LIST, clear_words);
        if (s.count == 6 && s.length[2] < RESOURCE_SIZE) {
            memcpy(c.resource, s.text[2], s.length[2]);
            c.resource[s.length[2]] = 0;
            if (device_width_word(c.resource, 0)) add_source(SRC_WIDTHS);
        }
        if (s.count >= 5 && token_is(s, 2, "IRQ")) add_source(SRC_IRQ_WORDS);
        return c.count ? CGETS_OFFER_WORDS : 0;
    }
    if (token_is(s, 0, "DUMP")) {
        if (s.count == 1) add_source(SRC_LIST, dump_words);
        if (s.count == 2 && token_abbreviates(s, 1, "DEVICE")) add_source(SRC_LIST, dump_device_words);
    } else if (token_is(s, 0, "HELP")) {
        if (s.count == 1) add_source(SRC_HELP);
    } else if (token_is(s, 0, "FILE")) {
        if (s.count == 1) {
            add_source(SRC_LIST, file_words);
            return CGETS_OFFER_WORDS | CGETS_OFFER_FILES;
        }
        return s.count == 2 && s.text[1][0] == '-' ? CGETS_OFFER_FILES : 0;
    } else if (token_is(s, 0, "DEBUG") || token_is(s, 0, "ECHO") || token_is(s, 0, "QUOTE")) {
        if (s.count == 1) add_source(SRC_LIST, mode_words);
    } else if (token_is(s, 0, "ISOLATE")) {
        if (s.count == 1) add_source(SRC_LIST, isolate_words);
    } else if (token_is(s, 0, "SHOW")) {
        if (s.count == 1) add_source(SRC_LIST, show_words);
        add_source(SRC_SYMBOLS, nullptr, SYM_ALL);
    } else if (token_is(s, 0, "DELETE", "DEL")) {
        add_source(SRC_SYMBOLS, nullptr, SYM_ALL);
    } else if (token_is(s, 0, "CALL")) {
        if (s.count == 1) add_source(SRC_SYMBOLS, nullptr, SYM_FUNCTIONS);
    } else if (token_is(s, 0, "GET")) {
        if (s.count == 1) add_source(SRC_SYMBOLS, nullptr, SYM_VARIABLES);
    }
    return c.count ? CGETS_OFFER_WORDS : 0;
}

const CGETS_COMPLETER completer = {completion_breaks, completion_begin, completion_next};

}  // namespace

short completion_begin(const char* line, int start) {
    memset(&c, 0, sizeof c);
    if (!line || start < 0) return 0;
    size_t n = strlen(line);
    if ((size_t)start > n) return 0;
    c.word = line + start;
    c.length = n - (size_t)start;
    SCAN_TYP s;
    scan(line, start, s);
    if (s.quoted || s.comment) return 0;
    short lower = lower_case(c.word, c.length);
    if (lower < 0 && s.last_word) lower = lower_case(s.last_word, s.last_length);
    c.lower = lower > 0;
    if (start > 0 && line[start - 1] == '$') {
        add_source(SRC_SYMBOLS, nullptr, SYM_VARIABLES);
        add_source(SRC_LIST, dollar_words);
        add_source(SRC_BUILTINS);
        return CGETS_OFFER_WORDS;
    }
    return command_offer(s);
}

const char* completion_next() {
    while (c.at < c.count) {
        const char* w = c.item < ITEMS_MAX ? source_item(c.sources[c.at], c.item) : nullptr;
        if (!w) {
            c.at++;
            c.item = 0;
            continue;
        }
        c.item++;
        size_t n = strlen(w);
        if (!*w || n < c.length || n >= CANDIDATE_SIZE || strncasecmp(w, c.word, c.length) != 0) continue;
        for (size_t i = 0; i <= n; i++) {
            char ch = w[i];
            if (c.lower && ch >= 'A' && ch <= 'Z') ch = (char)(ch - 'A' + 'a');
            if (!c.lower && ch >= 'a' && ch <= 'z') ch = (char)(ch - 'a' + 'A');
            c.candidate[i] = ch;
        }
        return c.candidate;
    }
    return nullptr;
}

void completion_install() { cgets_set_completer(&completer); }
