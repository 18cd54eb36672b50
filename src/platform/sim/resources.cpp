// Reading the resource script of the program module: a small tokenizer, the #define lines of
// the header of ids and of the script, numeric and style expressions, and the dialog, string
// table and icon statements.
#include "platform/sim/resources.h"

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

namespace sim {

// The script and header text built into the simulation from the program's sources.
extern const char kModuleResourceScript[];
extern const char kModuleResourceHeader[];

namespace {

enum : int { kMaxDefineDepth = 16 };

// The SDK names a dialog script may use without defining them.
struct Known {
    const char *name;
    int64_t value;
};
const Known kKnownNames[] = {
    {"IDOK", IDOK},
    {"IDCANCEL", IDCANCEL},
    {"WS_OVERLAPPED", WS_OVERLAPPED},
    {"WS_POPUP", WS_POPUP},
    {"WS_CHILD", WS_CHILD},
    {"WS_MINIMIZE", WS_MINIMIZE},
    {"WS_VISIBLE", WS_VISIBLE},
    {"WS_DISABLED", WS_DISABLED},
    {"WS_CLIPSIBLINGS", WS_CLIPSIBLINGS},
    {"WS_CLIPCHILDREN", WS_CLIPCHILDREN},
    {"WS_MAXIMIZE", WS_MAXIMIZE},
    {"WS_CAPTION", WS_CAPTION},
    {"WS_BORDER", WS_BORDER},
    {"WS_DLGFRAME", WS_DLGFRAME},
    {"WS_VSCROLL", WS_VSCROLL},
    {"WS_HSCROLL", WS_HSCROLL},
    {"WS_SYSMENU", WS_SYSMENU},
    {"WS_THICKFRAME", WS_THICKFRAME},
    {"WS_GROUP", WS_GROUP},
    {"WS_TABSTOP", WS_TABSTOP},
    {"WS_MINIMIZEBOX", WS_MINIMIZEBOX},
    {"WS_MAXIMIZEBOX", WS_MAXIMIZEBOX},
    {"WS_EX_DLGMODALFRAME", WS_EX_DLGMODALFRAME},
    {"WS_EX_TOPMOST", WS_EX_TOPMOST},
    {"WS_EX_APPWINDOW", WS_EX_APPWINDOW},
    {"DS_ABSALIGN", DS_ABSALIGN},
    {"DS_SYSMODAL", DS_SYSMODAL},
    {"DS_3DLOOK", DS_3DLOOK},
    {"DS_FIXEDSYS", DS_FIXEDSYS},
    {"DS_SETFONT", DS_SETFONT},
    {"DS_MODALFRAME", DS_MODALFRAME},
    {"DS_CENTER", DS_CENTER},
    {"DS_SHELLFONT", DS_SHELLFONT},
    {"BS_PUSHBUTTON", BS_PUSHBUTTON},
    {"BS_DEFPUSHBUTTON", BS_DEFPUSHBUTTON},
    {"SS_LEFT", SS_LEFT},
    {"SS_CENTER", SS_CENTER},
    {"SS_RIGHT", SS_RIGHT},
    {"SS_ICON", SS_ICON},
    {"SS_NOPREFIX", SS_NOPREFIX},
};

enum class Tok { End, Number, Name, String, Punct };

struct Token {
    Tok kind;
    std::string text; // a name, the decoded string, or the punctuation character
    int64_t number;
    int line;
};

// Removes comments, keeping line breaks and everything inside strings.
std::string StripComments(const std::string &in) {
    std::string out;
    size_t i = 0;
    while (i < in.size()) {
        char c = in[i];
        if (c == '"') {
            size_t j = i + 1;
            while (j < in.size() && in[j] != '\n') {
                if (in[j] == '\\' && j + 1 < in.size()) {
                    j += 2;
                    continue;
                }
                if (in[j] == '"' && !(j + 1 < in.size() && in[j + 1] == '"'))
                    break;
                j += in[j] == '"' ? 2 : 1;
            }
            size_t end = j < in.size() && in[j] == '"' ? j + 1 : j;
            out.append(in, i, end - i);
            i = end;
        } else if (c == '/' && i + 1 < in.size() && in[i + 1] == '/') {
            while (i < in.size() && in[i] != '\n')
                i++;
        } else if (c == '/' && i + 1 < in.size() && in[i + 1] == '*') {
            i += 2;
            while (i < in.size() && !(in[i] == '*' && i + 1 < in.size() && in[i + 1] == '/')) {
                if (in[i] == '\n')
                    out += '\n';
                i++;
            }
            i = i < in.size() ? i + 2 : i;
        } else {
            out += c;
            i++;
        }
    }
    return out;
}

class Parser {
  public:
    explicit Parser(ResourceScript *out) : out_(out) {
        for (const Known &k : kKnownNames)
            defines_[k.name] = std::to_string(k.value);
    }

    bool Run(const std::string &header, const std::string &script, std::string *error) {
        if (!Preprocess(header, nullptr) || !Preprocess(script, &tokens_)) {
            *error = error_;
            return false;
        }
        tokens_.push_back(Token{Tok::End, "", 0, lastLine_});
        bool ok = ParseScript();
        if (!ok)
            *error = error_;
        return ok;
    }

  private:
    ResourceScript *out_;
    std::map<std::string, std::string> defines_;
    std::vector<Token> tokens_;
    size_t pos_ = 0;
    int lastLine_ = 1;
    std::string error_;

    bool Fail(int line, const std::string &what) {
        if (error_.empty())
            error_ = "line " + std::to_string(line) + ": " + what;
        return false;
    }

    // ---- Lines: directives and tokens ----

    bool Preprocess(const std::string &text, std::vector<Token> *tokens) {
        std::string clean = StripComments(text);
        std::vector<Condition> active; // one per open #if...; skipping when any is false
        size_t start = 0;
        int line = 1;
        while (start <= clean.size()) {
            size_t end = clean.find('\n', start);
            if (end == std::string::npos)
                end = clean.size();
            std::string text_line = clean.substr(start, end - start);
            bool skipping = false;
            for (const Condition &a : active)
                skipping = skipping || !a.taken;
            if (!Directive(text_line, line, &active, skipping))
                return false;
            size_t first = text_line.find_first_not_of(" \t\r");
            bool isDirective = first != std::string::npos && text_line[first] == '#';
            if (!isDirective && !skipping && tokens && !Tokenize(text_line, line, tokens))
                return false;
            lastLine_ = line;
            start = end + 1;
            line++;
        }
        if (!active.empty())
            return Fail(active.back().line, "#" + active.back().what + " without #endif");
        return true;
    }

    struct Condition {
        bool taken;
        int line;
        std::string what;
    };

    bool Directive(const std::string &text, int line, std::vector<Condition> *active,
                   bool skipping) {
        size_t first = text.find_first_not_of(" \t\r");
        if (first == std::string::npos || text[first] != '#')
            return true;
        std::vector<std::string> words;
        size_t i = first + 1;
        while (i < text.size()) {
            while (i < text.size() && isspace((unsigned char)text[i]))
                i++;
            size_t j = i;
            while (j < text.size() && !isspace((unsigned char)text[j]))
                j++;
            if (j > i)
                words.push_back(text.substr(i, j - i));
            if (words.size() == 2) {
                // The rest of a #define line is its value, blanks and all.
                size_t rest = text.find_first_not_of(" \t\r", j);
                if (rest != std::string::npos)
                    words.push_back(text.substr(rest));
                break;
            }
            i = j;
        }
        if (words.empty())
            return true;
        const std::string &what = words[0];
        if (what == "ifdef" || what == "ifndef") {
            if (words.size() < 2)
                return Fail(line, "#" + what + " without a name");
            bool defined = defines_.count(words[1]) > 0;
            active->push_back(Condition{what == "ifdef" ? defined : !defined, line, what});
        } else if (what == "if") {
            active->push_back(Condition{true, line, what}); // other conditions count as true
        } else if (what == "else") {
            if (active->empty())
                return Fail(line, "#else without #if");
            active->back().taken = !active->back().taken;
        } else if (what == "endif") {
            if (active->empty())
                return Fail(line, "#endif without #if");
            active->pop_back();
        } else if (what == "define" && !skipping) {
            if (words.size() < 2)
                return Fail(line, "#define without a name");
            std::string value = words.size() > 2 ? words[2] : "";
            while (!value.empty() && isspace((unsigned char)value.back()))
                value.pop_back();
            defines_[words[1]] = value;
        } else if (what == "undef" && !skipping && words.size() >= 2) {
            defines_.erase(words[1]);
        }
        return true; // #include, #pragma and the rest are of no concern here
    }

    bool Tokenize(const std::string &text, int line, std::vector<Token> *tokens) {
        size_t i = 0;
        while (i < text.size()) {
            unsigned char c = (unsigned char)text[i];
            if (isspace(c)) {
                i++;
            } else if (c == '"') {
                std::string value;
                if (!ReadString(text, &i, line, &value))
                    return false;
                tokens->push_back(Token{Tok::String, value, 0, line});
            } else if (isdigit(c)) {
                // Numbers are decimal unless they begin with 0x, as the compiler reads them.
                bool hex =
                    c == '0' && i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X');
                char *end = nullptr;
                int64_t value = (int64_t)strtoull(text.c_str() + i, &end, hex ? 16 : 10);
                i = (size_t)(end - text.c_str());
                while (i < text.size() &&
                       (text[i] == 'L' || text[i] == 'l' || text[i] == 'U' || text[i] == 'u'))
                    i++;
                tokens->push_back(Token{Tok::Number, "", value, line});
            } else if (isalpha(c) || c == '_') {
                size_t j = i;
                while (j < text.size() && (isalnum((unsigned char)text[j]) || text[j] == '_'))
                    j++;
                tokens->push_back(Token{Tok::Name, text.substr(i, j - i), 0, line});
                i = j;
            } else if (strchr(",|+-~()&{}", c)) {
                tokens->push_back(Token{Tok::Punct, std::string(1, (char)c), 0, line});
                i++;
            } else {
                return Fail(line, std::string("unexpected character '") + (char)c + "'");
            }
        }
        return true;
    }

    // A quoted string: "" stands for one quote; backslash escapes as the resource compiler
    // reads them.
    bool ReadString(const std::string &text, size_t *i, int line, std::string *value) {
        size_t j = *i + 1;
        for (;;) {
            if (j >= text.size())
                return Fail(line, "string without its closing quote");
            char c = text[j];
            if (c == '"') {
                if (j + 1 < text.size() && text[j + 1] == '"') {
                    *value += '"';
                    j += 2;
                    continue;
                }
                *i = j + 1;
                return true;
            }
            if (c == '\\' && j + 1 < text.size()) {
                char e = text[j + 1];
                *value += e == 'n' ? '\n' : e == 't' ? '\t' : e == 'r' ? '\r' : e == 'a' ? '\a' : e;
                j += 2;
                continue;
            }
            *value += c;
            j++;
        }
    }

    // ---- Tokens ----

    const Token &Peek(size_t ahead = 0) const {
        size_t at = pos_ + ahead;
        return at < tokens_.size() ? tokens_[at] : tokens_.back();
    }
    const Token &Next() {
        const Token &t = Peek();
        if (pos_ < tokens_.size() - 1)
            pos_++;
        return t;
    }
    bool IsPunct(const char *p, size_t ahead = 0) const {
        return Peek(ahead).kind == Tok::Punct && Peek(ahead).text == p;
    }
    bool IsName(const char *n, size_t ahead = 0) const {
        return Peek(ahead).kind == Tok::Name && Peek(ahead).text == n;
    }
    bool IsBegin() const { return IsName("BEGIN") || IsPunct("{"); }
    bool IsEnd() const { return IsName("END") || IsPunct("}"); }
    bool ExpectComma() {
        if (!IsPunct(","))
            return Fail(Peek().line, "',' expected");
        Next();
        return true;
    }
    bool SkipComma() {
        if (IsPunct(",")) {
            Next();
            return true;
        }
        return false;
    }

    // ---- Expressions ----

    // The value of a name defined by #define (or known from the SDK).
    bool NameValue(const std::string &name, int line, int depth, int64_t *value) {
        auto it = defines_.find(name);
        if (it == defines_.end())
            return Fail(line, "unknown name " + name);
        if (depth > kMaxDefineDepth)
            return Fail(line, "definition of " + name + " refers to itself");
        // Evaluate the definition's own tokens in place of the script's, then go back.
        std::vector<Token> tokens;
        if (!Tokenize(it->second, line, &tokens))
            return false;
        tokens.push_back(Token{Tok::End, "", 0, line});
        std::swap(tokens, tokens_);
        size_t saved = pos_;
        pos_ = 0;
        bool ok = Expression(value, depth + 1) && Peek().kind == Tok::End;
        std::swap(tokens, tokens_);
        pos_ = saved;
        if (!ok)
            return Fail(line, "the value of " + name + " is not a number");
        return true;
    }

    bool Term(int64_t *value, int depth) {
        const Token &t = Next();
        if (t.kind == Tok::Number) {
            *value = t.number;
            return true;
        }
        if (t.kind == Tok::Name)
            return NameValue(t.text, t.line, depth, value);
        if (t.kind == Tok::Punct && t.text == "(") {
            if (!Expression(value, depth))
                return false;
            if (!IsPunct(")"))
                return Fail(Peek().line, "')' expected");
            Next();
            return true;
        }
        if (t.kind == Tok::Punct && (t.text == "-" || t.text == "~")) {
            if (!Term(value, depth))
                return false;
            *value = t.text == "-" ? -*value : ~*value;
            return true;
        }
        return Fail(t.line, "a number was expected");
    }

    bool Expression(int64_t *value, int depth = 0) {
        if (!Term(value, depth))
            return false;
        while (IsPunct("|") || IsPunct("+") || IsPunct("-") || IsPunct("&")) {
            char op = Next().text[0];
            int64_t rhs;
            if (!Term(&rhs, depth))
                return false;
            *value = op == '|'   ? (*value | rhs)
                     : op == '+' ? *value + rhs
                     : op == '-' ? *value - rhs
                                 : (*value & rhs);
        }
        return true;
    }

    bool Int(int *value) {
        int64_t v;
        if (!Expression(&v))
            return false;
        *value = (int)v;
        return true;
    }

    // A style: the defaults, with every term ORed in and every NOT term taken out.
    bool Style(DWORD defaults, DWORD *style) {
        DWORD value = defaults;
        for (;;) {
            bool negate = IsName("NOT");
            if (negate)
                Next();
            int64_t term;
            if (!Term(&term, 0))
                return false;
            value = negate ? (value & ~(DWORD)term) : (value | (DWORD)term);
            if (!IsPunct("|")) {
                *style = value;
                return true;
            }
            Next();
        }
    }

    // ---- Statements ----

    bool ParseScript() {
        while (Peek().kind != Tok::End) {
            if (IsName("LANGUAGE")) {
                if (!SkipLanguage())
                    return false;
            } else if (IsName("STRINGTABLE")) {
                Next();
                if (!StringTable())
                    return false;
            } else if (!Resource()) {
                return false;
            }
        }
        return true;
    }

    bool SkipLanguage() {
        Next();
        int64_t ignored;
        return Expression(&ignored) && ExpectComma() && Expression(&ignored);
    }

    // Memory options of the 16-bit days, still accepted by the compilers.
    void SkipMemoryOptions() {
        static const char *const kOptions[] = {"MOVEABLE", "FIXED",      "PURE",       "IMPURE",
                                               "PRELOAD",  "LOADONCALL", "DISCARDABLE"};
        for (bool found = true; found;) {
            found = false;
            for (const char *o : kOptions)
                if (IsName(o)) {
                    Next();
                    found = true;
                }
        }
    }

    bool StringTable() {
        SkipMemoryOptions();
        while (!IsBegin()) {
            if (Peek().kind == Tok::End)
                return Fail(Peek().line, "BEGIN expected");
            Next(); // LANGUAGE, CHARACTERISTICS, VERSION and their values
        }
        Next();
        while (!IsEnd()) {
            int id;
            if (Peek().kind == Tok::End)
                return Fail(Peek().line, "END expected");
            if (!Int(&id))
                return false;
            SkipComma();
            if (Peek().kind != Tok::String)
                return Fail(Peek().line, "a string was expected");
            out_->strings[id] = Next().text;
        }
        Next();
        return true;
    }

    // nameID TYPE ...: a dialog or an icon; any other resource is passed over.
    bool Resource() {
        int line = Peek().line;
        int64_t id;
        if (!Expression(&id))
            return Fail(line, "a resource id was expected");
        if (Peek().kind != Tok::Name && Peek().kind != Tok::Number)
            return Fail(Peek().line, "a resource type was expected");
        std::string type = Peek().kind == Tok::Name ? Peek().text : std::to_string(Peek().number);
        Next();
        SkipMemoryOptions();
        if (type == "DIALOG" || type == "DIALOGEX")
            return Dialog((int)id, type == "DIALOGEX");
        if (type == "ICON") {
            if (Peek().kind != Tok::String)
                return Fail(Peek().line, "the icon's file name was expected");
            Next();
            out_->icons.insert((int)id);
            return true;
        }
        return SkipResource();
    }

    bool SkipResource() {
        if (Peek().kind == Tok::String) {
            Next();
            return true;
        }
        while (!IsBegin()) {
            if (Peek().kind == Tok::End)
                return Fail(Peek().line, "BEGIN expected");
            Next();
        }
        int depth = 0;
        do {
            if (Peek().kind == Tok::End)
                return Fail(Peek().line, "END expected");
            if (IsBegin())
                depth++;
            else if (IsEnd())
                depth--;
            Next();
        } while (depth > 0);
        return true;
    }

    bool Dialog(int id, bool extended) {
        DialogTemplate d{};
        d.id = id;
        d.style = WS_POPUP | WS_BORDER | WS_SYSMENU;
        if (!Int(&d.x) || !ExpectComma() || !Int(&d.y) || !ExpectComma() || !Int(&d.cx) ||
            !ExpectComma() || !Int(&d.cy))
            return false;
        int64_t helpId;
        if (extended && SkipComma() && !Expression(&helpId))
            return false;
        if (!DialogOptions(&d))
            return false;
        Next(); // BEGIN
        while (!IsEnd()) {
            if (Peek().kind == Tok::End)
                return Fail(Peek().line, "END expected");
            ControlTemplate c;
            if (!Control(&c))
                return false;
            d.controls.push_back(c);
        }
        Next();
        out_->dialogs[id] = d;
        return true;
    }

    bool DialogOptions(DialogTemplate *d) {
        DWORD implied = 0;
        while (!IsBegin()) {
            const Token &t = Next();
            if (t.kind != Tok::Name)
                return Fail(t.line, "a dialog option or BEGIN was expected");
            if (t.text == "STYLE") {
                if (!Style(0, &d->style))
                    return false;
            } else if (t.text == "EXSTYLE") {
                if (!Style(0, &d->exStyle))
                    return false;
            } else if (t.text == "CAPTION") {
                if (Peek().kind != Tok::String)
                    return Fail(Peek().line, "the caption's text was expected");
                d->caption = Next().text;
                implied |= WS_CAPTION;
            } else if (t.text == "FONT") {
                if (!Font(d))
                    return false;
                implied |= DS_SETFONT;
            } else if (t.text == "LANGUAGE") {
                int64_t ignored;
                if (!Expression(&ignored) || !ExpectComma() || !Expression(&ignored))
                    return false;
            } else if (t.text == "MENU" || t.text == "CLASS" || t.text == "CHARACTERISTICS" ||
                       t.text == "VERSION") {
                Next();
            } else {
                return Fail(t.line, "unknown dialog option " + t.text);
            }
        }
        // A caption brings its title bar and a font its flag, as the compiler adds them.
        d->style |= implied;
        return true;
    }

    bool Font(DialogTemplate *d) {
        if (!Int(&d->fontSize) || !ExpectComma())
            return false;
        if (Peek().kind != Tok::String)
            return Fail(Peek().line, "the font's name was expected");
        d->fontName = Next().text;
        int64_t ignored; // weight, italic, character set
        while (IsPunct(",")) {
            Next();
            if (!Expression(&ignored))
                return false;
        }
        return true;
    }

    struct ControlKind {
        const char *keyword;
        const char *className;
        DWORD defaults;
    };

    bool Control(ControlTemplate *c) {
        static const ControlKind kKinds[] = {
            {"PUSHBUTTON", "Button", BS_PUSHBUTTON | WS_TABSTOP},
            {"DEFPUSHBUTTON", "Button", BS_DEFPUSHBUTTON | WS_TABSTOP},
            {"LTEXT", "Static", SS_LEFT | WS_GROUP},
            {"CTEXT", "Static", SS_CENTER | WS_GROUP},
            {"RTEXT", "Static", SS_RIGHT | WS_GROUP},
            {"ICON", "Static", SS_ICON},
            {"CONTROL", "", 0},
        };
        const Token &t = Next();
        const ControlKind *kind = nullptr;
        for (const ControlKind &k : kKinds)
            if (t.kind == Tok::Name && t.text == k.keyword)
                kind = &k;
        if (!kind)
            return Fail(t.line, "unknown control " + t.text);
        *c = ControlTemplate{"", -1, 0, kind->className, 0, 0, 0, 0, 0, 0};
        DWORD defaults = WS_CHILD | WS_VISIBLE | kind->defaults;
        if (!ControlText(c) || !ExpectComma() || !Int(&c->id) || !ExpectComma())
            return false;
        if (std::string(kind->keyword) == "CONTROL")
            return GenericControl(c, defaults);
        if (!Int(&c->x) || !ExpectComma() || !Int(&c->y))
            return false;
        bool sized = true;
        if (std::string(kind->keyword) == "ICON")
            sized = SkipComma();
        else if (!ExpectComma())
            return false;
        if (sized && (!Int(&c->cx) || !ExpectComma() || !Int(&c->cy)))
            return false;
        c->style = defaults;
        if (sized && SkipComma() && !Style(defaults, &c->style))
            return false;
        return !SkipComma() || Style(0, &c->exStyle);
    }

    bool GenericControl(ControlTemplate *c, DWORD defaults) {
        if (Peek().kind == Tok::String || Peek().kind == Tok::Name)
            c->className = CanonicalClass(Next().text);
        else
            return Fail(Peek().line, "the control's class was expected");
        if (!ExpectComma() || !Style(defaults, &c->style) || !ExpectComma() || !Int(&c->x) ||
            !ExpectComma() || !Int(&c->y) || !ExpectComma() || !Int(&c->cx) || !ExpectComma() ||
            !Int(&c->cy))
            return false;
        return !SkipComma() || Style(0, &c->exStyle);
    }

    // The caption, or the ordinal of a resource (an icon) given in its place.
    bool ControlText(ControlTemplate *c) {
        if (Peek().kind == Tok::String) {
            c->text = Next().text;
            return true;
        }
        int64_t ordinal;
        if (!Expression(&ordinal))
            return false;
        c->textId = (int)ordinal;
        return true;
    }

    static std::string CanonicalClass(const std::string &name) {
        static const char *const kClasses[] = {"Button",  "Static",    "Edit",
                                               "ListBox", "ScrollBar", "ComboBox"};
        for (const char *known : kClasses)
            if (strcasecmp(known, name.c_str()) == 0)
                return known;
        return name;
    }
};

} // namespace

bool ParseResourceScript(const std::string &script, const std::string &header, ResourceScript *out,
                         std::string *error) {
    *out = ResourceScript();
    Parser parser(out);
    return parser.Run(header, script, error);
}

const ResourceScript &ModuleResources() {
    static const ResourceScript resources = [] {
        ResourceScript parsed;
        std::string error;
        if (!ParseResourceScript(kModuleResourceScript, kModuleResourceHeader, &parsed, &error))
            fprintf(stderr, "simulated module: resource script: %s\n", error.c_str());
        return parsed;
    }();
    return resources;
}

} // namespace sim
