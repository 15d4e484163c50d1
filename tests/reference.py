#!/usr/bin/env python3
"""Checks docs/reference.md against the product.

  reference.py messages SOURCE_DIR
      every description the operations can hand to a caller is in a failure
      table of the reference, and every description there is still in the code
  reference.py examples SOURCE_DIR PREFIX [ORMIK_DIR]
      every example of the reference runs under cscript in PREFIX (where the
      DLL is registered) and reaches its end; scratch folder C:\\qvdemo
"""
import pathlib, re, shutil, subprocess, sys, tempfile

LIT = r'"(?:[^"\\]|\\.)*"'
# Where a literal or a k-constant is handed to the caller as its description.
ARG = r'(' + LIT + r'|k\w+)'
MESSAGE_SHAPES = [
    r'\b(?:Fail|refuse|Record)\([^{;]*\{[^}]*?' + ARG + r'\s*\}',  # the last piece of a failure
    r'\bGuarded\(\s*' + LIT + r'\s*,\s*' + ARG,                   # an operation's catch-all
    r'\bComErrorInfo\(\s*' + ARG + r'\s*\)',
    r'\bmessage = ' + ARG,                                        # a worker's message, handed on
    r'\b(?:\w+Operation|TimeGetter)\([^;]*,\s*' + ARG + r'\s*\)',  # a shared worker's catch-all
]
# A failure row: its numbers in hex, the same in decimal, its description.
# A cell may list several numbers; "other `0x8007xxxx`" (decimal "other")
# stands for any other error code of the system.
NUMBERS = r'(?:`0x[0-9A-F]{8}`|other `0x8007xxxx`)(?:, (?:`0x[0-9A-F]{8}`|other `0x8007xxxx`))*'
FAILURE_ROW = re.compile(r'^\| (' + NUMBERS + r') \| ([^|]*?) \| (?:`([^`]*)`|\(none\)) \|', re.M)
MARKERS = {'run', 'standin', 'parse-only'}
EXAMPLE = re.compile(r'^(?:<!-- example: ([\w-]+) -->\n)?```vb\n(.*?)^```$', re.M | re.S)
END = '--example-end--'
# The stand-in of the workstation's mapping script: it maps nothing and
# answers drive Q: through the hand-shake key the examples use.
KEY = r'HKLM\SOFTWARE\Quorvane\QVFileIO\Mapping\\'
STANDINS = {'downloaded program files/qvfileio.inf': '[QVANE]\nMappingScript=qvdemo-map.vbs\n',
            'downloaded program files/qvdemo-map.vbs':
                f'Set sh = CreateObject("WScript.Shell")\nsh.RegWrite "{KEY}Drive", "Q:", "REG_SZ"\n'
                f'sh.RegWrite "{KEY}Success", "Y", "REG_SZ"\n'}


def unquote(literal):
    return bytes(literal[1:-1], 'utf-8').decode('unicode_escape')


def code_messages(top):
    text = '\n'.join(p.read_text() for d in ('object', 'fileops', 'registry', 'workstation')
                     for p in sorted((top / d).glob('*.cpp')))
    # Comments go; literals stay whole (a "//" may be inside one).
    text = re.sub(r'(' + LIT + r')|//[^\n]*', lambda m: m.group(1) or '', text)
    sentence = lambda t: t[:1].isupper() and ' ' in t and not t.endswith(': ')
    constants = dict((n, unquote(v)) for n, v in re.findall(r'const char (k\w+)\[\] = (' + LIT + ');', text))
    found = {t for t in constants.values() if sentence(t)}
    for shape in MESSAGE_SHAPES:
        found |= {unquote(a) for a in re.findall(shape, text) if a.startswith('"') and unquote(a)}
    # A constant used only in records of the log (directly, or as a problem
    # of the policy recorded when an object is made) never reaches a caller.
    log_only = {v for n, v in constants.items() if sentence(v) and
                len(re.findall(r'\b' + n + r'\b', text)) - 1 ==
                len(re.findall(r'\b(?:Report\(|problems\.push_back\()[^;]*\b' + n + r'\b', text))}
    return found - log_only, log_only


def decimal_column(hexes):
    """The decimal cell that belongs to a hex cell, as Err.Number prints each number."""
    numbers = re.findall(r'`0x([0-9A-F]{8})`|other', hexes)
    return ', '.join(str(int(n, 16) - (1 << 32)) if n else 'other' for n in numbers)


def messages(top):
    code, log_only = code_messages(top)
    reference = (top / 'docs/reference.md').read_text()
    rows = FAILURE_ROW.findall(reference)
    documented = {description for _, _, description in rows if description}
    # Both number columns list the same numbers in the same order.
    mismatched = [f'{hexes} | {decimals}' for hexes, decimals, _ in rows if decimal_column(hexes) != decimals]
    unread = [line for line in re.findall(r'^\| `0x.*$', reference, re.M) if not FAILURE_ROW.match(line)]
    problems = [('missing from the reference', sorted(code - documented)),
                ('named by the reference, not in the code', sorted(documented - code)),
                ('a text of the log missing from the reference', sorted(t for t in log_only if t not in reference)),
                ('a decimal column that is not its hex column', mismatched),
                ('a failure row this test cannot read', unread)]
    for what, texts in problems:
        for t in texts:
            print(f'{what}: "{t}"')
    print(f'{len(code)} messages in the code, {len(documented)} in the reference')
    return 1 if any(t for _, t in problems) or len(code) < 40 else 0


def examples(top, prefix, ormik=None):
    text = (top / 'docs/reference.md').read_text()
    scratch = pathlib.Path(prefix) / 'drive_c/qvdemo'
    work = pathlib.Path(tempfile.mkdtemp())
    failed = 0
    found = EXAMPLE.findall(text)
    sections = re.split(r'^### ', text, flags=re.M)[1:]
    per_op = [s for s in sections if re.match(r'\d+\. ', s)]
    cases = [('operation sections', len(per_op), 42),
             ('sections with one example', sum(len(EXAMPLE.findall(s)) == 1 for s in per_op), 42)]
    for what, got, want in cases:
        if got != want:
            print(f'FAIL: {what}: {got}, expected {want}')
            failed += 1
    for number, (marker, code) in enumerate(found, 1):
        title = (re.findall(r'^#+ (.*)$', text[:text.find(code)], re.M) or ['?'])[-1]
        if marker not in MARKERS:
            print(f'FAIL: example {number} ({title}) has no marker')
            failed += 1
            continue
        if marker == 'parse-only':  # parsed, never run: the body of a Sub nobody calls
            code = 'Sub NotRun()\n' + code + 'End Sub\n'
        shutil.rmtree(scratch, ignore_errors=True)
        windows = pathlib.Path(prefix) / 'drive_c/windows'
        for name, content in STANDINS.items():
            if marker == 'standin':
                (windows / name).parent.mkdir(exist_ok=True)
                (windows / name).write_bytes(content.replace('\n', '\r\n').encode())
            elif (windows / name).exists():
                (windows / name).unlink()
        script = work / f'example{number}.vbs'
        # "started" first: a run that printed nothing never got to the example.
        script.write_bytes(('WScript.Echo "started"\n' + code + f'WScript.Echo "{END}"\n')
                           .replace('\n', '\r\n').encode('latin-1'))
        run = subprocess.run([str(top / 'tools/wine-run.sh'), '--prefix', prefix, '--says', 'cscript', '//nologo',
                              'Z:' + str(script).replace('/', '\\')], capture_output=True, text=True,
                             errors='replace', timeout=120)
        lines = run.stdout.strip().splitlines()
        ok = run.returncode == 0 and lines and lines[-1].strip() == END
        print(f'{"ok" if ok else "FAIL"}: example {number} [{marker}] {title}')
        if not ok:
            print(f'exit status {run.returncode}\n{run.stdout}{run.stderr}')
            failed += 1
    shutil.rmtree(scratch, ignore_errors=True)
    for name in STANDINS:
        (pathlib.Path(prefix) / 'drive_c/windows' / name).unlink(missing_ok=True)
    shutil.rmtree(work, ignore_errors=True)
    print(f'{len(found)} examples, {failed} failed')
    return 1 if failed or not found else 0


if __name__ == '__main__':
    top = pathlib.Path(sys.argv[2]).resolve()
    sys.exit(messages(top) if sys.argv[1] == 'messages' else examples(top, *sys.argv[3:]))
