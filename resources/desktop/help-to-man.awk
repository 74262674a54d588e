# Turns the text of `embossa --help` into a manual page. The page is built
# from the program's own words on every build, so the two cannot disagree.
#
# What it reads in the help text:
#   "Usage: embossa ..."      the synopsis; indented lines that start with
#                             "embossa" are further forms, other indented
#                             lines continue the form above them
#   plain paragraphs          the description, up to the first heading
#   "Heading:"                a section of its own
#   "  term" / "  term  text" an entry; indented lines starting with "[" right
#                             after it continue the term, deeper lines are its
#                             text
#   "      -option  text"     in an entry's text, a list of the entry's own
#                             options (two spaces or more before the text);
#                             lines deeper still go on with the option's
#                             text, and the first line back at the text's
#                             own depth ends the list
#   a plain paragraph after entries
#                             general notes
#
# Variables: version (for the page footer) and summary (the NAME line).
# Plain awk only, so any awk (mawk included) builds the page.

function trim(s) {
    sub(/^[ \t]+/, "", s)
    sub(/[ \t]+$/, "", s)
    return s
}

# Text as troff prints it: backslashes and hyphen-minus kept literal, and no
# line taken for a request because of its first character.
function escape(s) {
    gsub(/\\/, "\\\\e", s)
    gsub(/-/, "\\-", s)
    return s
}

function textLine(s) {
    s = escape(s)
    if (s ~ /^[.']/) s = "\\&" s
    print s
}

# A command form: literal words bold, PLACEHOLDERS italic, brackets, bars and
# ellipses plain. Spaces inside brackets do not break, so "[-o OUT]" stays on
# one line.
function styled(s,    out, token, dots, depth, c) {
    out = ""
    depth = 0
    while (length(s) > 0) {
        c = substr(s, 1, 1)
        if (c == "[" || c == "(") {
            depth++
            out = out c
            s = substr(s, 2)
        } else if (c == "]" || c == ")") {
            if (depth > 0) depth--
            out = out c
            s = substr(s, 2)
        } else if (c == "|") {
            out = out c
            s = substr(s, 2)
        } else if (c == " ") {
            out = out (depth > 0 ? "\\ " : " ")
            s = substr(s, 2)
        } else {
            match(s, /^[^][|() ]+/)
            token = substr(s, 1, RLENGTH)
            s = substr(s, RLENGTH + 1)
            dots = ""
            if (token ~ /[.][.][.]$/ && length(token) > 3) {
                dots = "..."
                token = substr(token, 1, length(token) - 3)
            }
            if (token == "...")
                out = out token
            else if (token ~ /^[A-Z]/)
                out = out "\\fI" escape(token) "\\fR" dots
            else
                out = out "\\fB" escape(token) "\\fR" dots
        }
    }
    return out
}

function flushSynopsis() {
    if (form == "") return
    sub(/^embossa */, "", form)
    print ".SY embossa"
    if (form != "") print styled(form)
    print ".YS"
    form = ""
}

function closeOptions() {
    if (!inOptions) return
    print ".RE"
    inOptions = 0
}

function flushTerm() {
    closeOptions()
    if (term == "") return
    print ".TP"
    print styled(term)
    if (termText != "") textLine(termText)
    term = ""
    termText = ""
}

function startSection(name) {
    flushTerm()
    print ".SH " toupper(name)
    sectionHasEntries = 0
    paragraphOpen = 0
}

BEGIN {
    if (version == "") version = "unknown"
    print ".\\\" Made from the output of `embossa --help`; edit that text, not this page."
    print ".TH EMBOSSA 1 \"\" \"Embossa " version "\" \"User Commands\""
    print ".SH NAME"
    print "embossa \\- " escape(summary)
    part = "start"
}

{ sub(/\r$/, "") }

part == "start" && /^Usage: / {
    print ".SH SYNOPSIS"
    part = "synopsis"
    form = trim(substr($0, 7))
    next
}

part == "synopsis" {
    if ($0 ~ /^[ \t]*$/) {
        flushSynopsis()
        part = "description"
        startedDescription = 0
        blank = 1
        next
    }
    line = trim($0)
    if (line ~ /^embossa( |$)/) {
        flushSynopsis()
        form = line
    } else {
        form = form " " line
    }
    next
}

/^[ \t]*$/ {
    flushTerm()
    blank = 1
    next
}

# A heading: one unindented line that ends in a colon, after a blank line.
blank && /^[A-Z][^:]*:$/ {
    startSection(substr($0, 1, length($0) - 1))
    part = "section"
    blank = 0
    next
}

# An entry's term, with or without its text on the same line.
part != "description" && /^  [^ ]/ {
    flushTerm()
    line = trim($0)
    if (match(line, /[^ ]   *[^ ]/)) {
        term = substr(line, 1, RSTART)
        termText = trim(substr(line, RSTART + 1))
    } else {
        term = line
        termText = ""
    }
    sectionHasEntries = 1
    blank = 0
    next
}

# A wrapped term goes on with its next bracketed option.
term != "" && termText == "" && /^   +\[/ {
    term = term " " trim($0)
    next
}

# One of the entry's own options, its text beside it after two spaces or
# more (a line of text that merely starts with an option has no such gap).
part != "description" && /^      -/ && /[^ ]   *[^ ]/ {
    if (term != "") flushTerm()
    line = trim($0)
    match(line, /[^ ]   *[^ ]/)
    option = substr(line, 1, RSTART)
    optionText = trim(substr(line, RSTART + 1))
    if (!inOptions) print ".RS"
    inOptions = 1
    print ".TP"
    print styled(option)
    textLine(optionText)
    blank = 0
    next
}

# The entry's text goes on after its options at its own indent.
inOptions && /^      [^ ]/ {
    closeOptions()
    print ".IP"
}

# An entry's text.
part != "description" && /^   / {
    if (term != "") flushTerm()
    textLine(trim($0))
    blank = 0
    next
}

# A plain paragraph.
{
    flushTerm()
    if (part == "description" && !startedDescription) {
        print ".SH DESCRIPTION"
        startedDescription = 1
    } else if (part == "section" && sectionHasEntries && blank) {
        startSection("Notes")
    } else if (blank) {
        print ".PP"
    }
    textLine(trim($0))
    blank = 0
}

END {
    flushSynopsis()
    flushTerm()
}
