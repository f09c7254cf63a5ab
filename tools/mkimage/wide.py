"""Old data of the many kinds a long-used disk holds besides mail: text in other scripts and
code pages, data files, program source, documents in their raw form and tool output. Our
images' other old data (olddata.py) is prose, markup, logs and mail; a carver tuned on it alone
may end or begin a mail wrongly where the bytes around it are of a kind it never met.

Every kind keeps the promises of all old data: no "received" in any letter case, no line
starting with "From:" together with one starting with "Date:", and no NUL byte (UTF-16 and PDF
data, which hold them, are olddata.py's own kinds).
"""

from .noise import BASE64_ALPHABET, WORDS

KINDS = ("utf8-cyrillic", "utf8-greek", "utf8-cjk", "cp1252", "json", "c-source", "js-source",
         "py-source", "rtf", "sql", "ini", "quoted-text", "rules", "tsv-log", "base64-block")

_CYRILLIC = ("привет", "письмо", "отчёт", "встреча", "завтра", "проект", "бюджет", "город",
             "работа", "вопрос", "ответ", "неделя", "и", "в", "на", "не", "что", "это")
_GREEK = ("καλημέρα", "επιστολή", "έκθεση", "συνάντηση", "αύριο", "έργο", "πόλη", "και",
          "το", "για", "με", "δεν", "ερώτηση", "απάντηση", "εβδομάδα")
_CJK = ("会議", "報告", "明日", "東京", "予算", "計画", "確認", "お願い", "よろしく", "資料",
        "添付", "送信", "です", "ます", "の", "は", "を")
# Windows-1252 bytes a word processor puts into plain text: curly quotes, dashes, an ellipsis.
_CP1252_MARKS = (b"\x93", b"\x94", b"\x92", b"\x96", b"\x97", b"\x85", b"\xe9", b"\xfc")
_SCRIPT_WORDS = {"utf8-cyrillic": _CYRILLIC, "utf8-greek": _GREEK, "utf8-cjk": _CJK}


class WideData:
    """Runs of the kinds above, made from `noise` (a NoiseMaker) and its generator."""

    def __init__(self, noise):
        self.noise = noise
        self.rng = noise.rng

    def word(self):
        return self.rng.choice(WORDS)

    def number(self, high=9999):
        return self.rng.randint(0, high)

    def timestamp(self):
        return (f"2009-{self.rng.randint(1, 12):02d}-{self.rng.randint(1, 28):02d} "
                f"{self.rng.randint(0, 23):02d}:{self.rng.randint(0, 59):02d}:"
                f"{self.rng.randint(0, 59):02d}")

    def script_lines(self, kind):
        words = _SCRIPT_WORDS[kind]
        joiner = "" if kind == "utf8-cjk" else " "
        end = "。" if kind == "utf8-cjk" else "."
        lines = []
        for _ in range(self.rng.randint(2, 6)):
            count = self.rng.randint(4, 14)
            lines.append(joiner.join(self.rng.choice(words) for _ in range(count)) + end)
        return lines + [""]

    def cp1252_line(self):
        words = self.noise.sentence().encode("ascii").split(b" ")
        for _ in range(self.rng.randint(1, 3)):
            spot = self.rng.randrange(len(words))
            words[spot] = self.rng.choice(_CP1252_MARKS) + words[spot]
        return b" ".join(words)

    def json_lines(self):
        return ["  {", f'    "id": {self.number()},', f'    "name": "{self.word()}",',
                f'    "note": "{self.noise.sentence()}",',
                f'    "tags": ["{self.word()}", "{self.word()}"],',
                f'    "value": {self.number()}.{self.number(99)}', "  },"]

    def c_lines(self):
        name = f"{self.word()}_{self.word()}"
        return [f"/* {self.noise.sentence()} */", f"static int {name}(const char *buffer, "
                "size_t length)", "{", "    size_t index;",
                "    for (index = 0; index < length; ++index) {",
                f"        if (buffer[index] == '\\n')", f"            return {self.number(99)};",
                "    }", f'    printf("{self.word()}: %d\\n", (int)length);', "    return -1;",
                "}", ""]

    def js_lines(self):
        name = f"{self.word()}{self.word().capitalize()}"
        return [f"// {self.noise.sentence()}", f"function {name}(items) {{",
                f"  var total = {self.number(99)};",
                "  for (var i = 0; i < items.length; i++) {",
                f'    total += items[i].{self.word()} || 0;', "  }",
                f'  document.getElementById("{self.word()}").innerHTML = total;',
                "  return total;", "}", ""]

    def py_lines(self):
        name = f"{self.word()}_{self.word()}"
        return [f"def {name}(rows):", f'    """{self.noise.sentence()}"""', "    total = 0",
                "    for row in rows:", f"        if row.get('{self.word()}'):",
                f"            total += {self.number(99)}", "    return total", "", ""]

    def rtf_lines(self):
        return [r"{\rtf1\ansi\ansicpg1252\deff0{\fonttbl{\f0\fswiss Arial;}}",
                rf"\viewkind4\uc1\pard\f0\fs{self.rng.choice((20, 22, 24))} "
                rf"{self.noise.sentence()}\par",
                rf"{{\b {self.word()}}} {self.noise.sentence()} \'e9\'fc\par",
                rf"\pard\li720 {self.noise.sentence()}\par", "}"]

    def sql_lines(self):
        table = self.word()
        return [f"INSERT INTO `{table}` (`id`, `name`, `note`, `value`) VALUES "
                f"({self.number()}, '{self.word()}', '{self.noise.sentence()}', "
                f"{self.number()});" for _ in range(self.rng.randint(1, 5))] + \
            [f"-- {self.noise.sentence()}"]

    def ini_lines(self):
        lines = [f"[{self.word().capitalize()}{self.word().capitalize()}]"]
        for _ in range(self.rng.randint(2, 6)):
            value = self.rng.choice((self.word(), str(self.number()),
                                     f"dword:{self.number(255):08x}"))
            lines.append(f"{self.word().capitalize()}={value}")
        return lines + [""]

    def quoted_lines(self):
        depth = "> " * self.rng.randint(1, 3)
        lines = [f"{self.word().capitalize()} {self.word()} wrote:"]
        lines += [f"{depth}{self.noise.sentence()}" for _ in range(self.rng.randint(2, 7))]
        return lines + [">", ""]

    def rules_lines(self):
        rule = self.rng.choice("-=*_") * self.rng.choice((20, 40, 60, 72, 76))
        return [rule, self.noise.sentence().upper(), rule, self.noise.sentence(), ""]

    def tsv_lines(self):
        return [f"{self.timestamp()}\t{self.rng.choice(('INFO', 'WARN', 'ERROR'))}\t"
                f"{self.word()}\t{self.number()}\t{self.noise.sentence()}"
                for _ in range(self.rng.randint(2, 8))]

    def base64_lines(self):
        """A base64 block as mail programs and PEM files write it: full lines of 76 or 64
        characters and a short last one, padded."""
        width = self.rng.choice((64, 76))
        lines = ["".join(self.rng.choice(BASE64_ALPHABET) for _ in range(width))
                 for _ in range(self.rng.randint(3, 20))]
        return lines + ["".join(self.rng.choice(BASE64_ALPHABET)
                                for _ in range(self.rng.randint(2, width - 4))) + "==", ""]

    def run(self, kind, size):
        """At least `size` bytes of the kind; source code ends its lines with LF alone, the
        rest with CR LF as the programs that write them on the disks we read do."""
        newline = b"\n" if kind in ("c-source", "js-source", "py-source", "tsv-log") else b"\r\n"
        make = {"json": self.json_lines, "c-source": self.c_lines, "js-source": self.js_lines,
                "py-source": self.py_lines, "rtf": self.rtf_lines, "sql": self.sql_lines,
                "ini": self.ini_lines, "quoted-text": self.quoted_lines,
                "rules": self.rules_lines, "tsv-log": self.tsv_lines,
                "base64-block": self.base64_lines}.get(kind)
        lines = []
        total = 0
        while total < size:
            if kind == "cp1252":
                new = [self.cp1252_line()]
            elif kind in _SCRIPT_WORDS:
                new = [line.encode("utf-8") for line in self.script_lines(kind)]
            else:
                new = [line.encode("ascii") for line in make()]
            lines += new
            total += sum(len(line) + len(newline) for line in new)
        return newline.join(lines) + newline
