"""Checks every conformance script runs on the books it saves: gnumeric's load of a book, and
the ECMA-376 schema check of its parts.

gnumeric (ssconvert) reports what it finds wrong in a book on standard error, so a book it
loads cleanly prints nothing there. The schema validator lives beside the repository
(../shared/ooxml-schemas from the repository root); without it the check is skipped with a
message, since it is no part of the repository.
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import zipfile

REPOSITORY = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
VALIDATOR = os.path.normpath(os.path.join(REPOSITORY, '..', 'shared', 'ooxml-schemas', 'validate.py'))


def doubled_entry(path):
    """The second entry of a name met twice (letter case aside) in a zip archive, or None: such a
    package means different workbooks to different readers, and the engine refuses it."""
    try:
        with zipfile.ZipFile(path) as archive:
            seen = set()
            for info in archive.infolist():
                if info.filename.lower() in seen:
                    return info.filename
                seen.add(info.filename.lower())
    except (zipfile.BadZipFile, OSError, ValueError):
        pass
    return None


def gnumeric_convert(book, outdir):
    """Exports every sheet of BOOK as OUTDIR/<sheet name>.csv with ssconvert.

    Returns (problem, stderr): problem is None when ssconvert ran and exited 0. gnumeric gets a
    home, settings store and temporary folder of its own, removed afterwards, so that nothing it
    writes (its dconf cache, for one) outlives the check.
    """
    if shutil.which('ssconvert') is None:
        return 'ssconvert not found: install gnumeric (scripts/install-deps.sh test)', ''
    os.makedirs(outdir, exist_ok=True)
    private = tempfile.mkdtemp(prefix='gnumeric-conformance-')
    try:
        os.makedirs(os.path.join(private, 'tmp'))
        env = dict(os.environ, HOME=private, TMPDIR=os.path.join(private, 'tmp'), GSETTINGS_BACKEND='memory',
                   XDG_CACHE_HOME=os.path.join(private, 'cache'), XDG_CONFIG_HOME=os.path.join(private, 'config'),
                   XDG_DATA_HOME=os.path.join(private, 'data'))
        try:
            run = subprocess.run(['ssconvert', '-S', book, os.path.join(outdir, '%s.csv')], stdout=subprocess.DEVNULL,
                                 stderr=subprocess.PIPE, timeout=300, env=env)
        except subprocess.TimeoutExpired:
            return 'ssconvert timed out', ''
    finally:
        shutil.rmtree(private, ignore_errors=True)
    stderr = run.stderr.decode('utf-8', errors='replace').strip()
    if run.returncode != 0:
        return 'ssconvert exited %d' % run.returncode, stderr
    return None, stderr


def gnumeric_clean(book, outdir):
    """None when gnumeric loads BOOK without a word on standard error, else what went wrong."""
    problem, stderr = gnumeric_convert(book, outdir)
    if problem or stderr:
        return '%s %s' % (problem or 'warnings:', stderr)
    return None


def as_stored(text):
    """TEXT as the package stores it: a literal _xHHHH_ with its underscore escaped, control
    characters as _xHHHH_. gnumeric hands these escapes back undecoded."""
    text = re.sub(r'_(x[0-9A-Fa-f]{4}_)', r'_x005F_\1', text)
    return ''.join('_x%04X_' % ord(c) if ord(c) < 0x20 and c not in '\t\r\n' else c for c in text)


def schema_check(books):
    """Validates the parts of BOOKS against the ECMA-376 schemas.

    Returns None when the validator is not there (after saying so), else (ok, report lines).
    """
    if not os.path.exists(VALIDATOR):
        print('SKIP schema check: no validator at %s (it lives beside the repository, not in it)' % VALIDATOR)
        return None
    run = subprocess.run([sys.executable, VALIDATOR] + list(books), stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    lines = run.stdout.decode('utf-8', errors='replace').splitlines()
    return run.returncode == 0, lines


def reader_problems(books, scratch):
    """What gnumeric or the schema check finds wrong with BOOKS, one line each; [] when nothing.
    SCRATCH receives gnumeric's exports and is removed afterwards."""
    problems = []
    for book in books:
        problem = gnumeric_clean(book, scratch)
        shutil.rmtree(scratch, ignore_errors=True)
        if problem:
            problems.append('gnumeric %s: %s' % (os.path.basename(book), problem))
    checked = schema_check(books)
    if checked is not None:
        ok, lines = checked
        if not ok:
            problems += [line for line in lines if line.startswith('SCHEMA')] or ['schema check failed']
        else:
            print(lines[-1] if lines else 'schema check passed')
    return problems


def run_removing_workdir(main, workdir):
    """Runs main() and removes the books and exports it wrote (they are the test's own) unless
    TABSMITH_KEEP_TEST_OUTPUT asks to keep them; returns main's status."""
    try:
        return main()
    finally:
        if os.environ.get('TABSMITH_KEEP_TEST_OUTPUT'):
            print('output kept in %s' % workdir)
        else:
            shutil.rmtree(workdir, ignore_errors=True)


def run_soffice(arguments, timeout):
    """LibreOffice headless with a profile and temporary folder of its own, removed afterwards,
    so that checks running at the same time do not wait for each other."""
    private = tempfile.mkdtemp(prefix='lo-check-')
    try:
        os.makedirs(os.path.join(private, 'tmp'))
        subprocess.run(['soffice', '-env:UserInstallation=file://' + os.path.join(private, 'profile'), '--headless']
                       + arguments, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=timeout,
                       env=dict(os.environ, TMPDIR=os.path.join(private, 'tmp')))
    finally:
        shutil.rmtree(private, ignore_errors=True)


class Results:
    """Counts a checker's checks and prints each one that fails."""

    def __init__(self):
        self.passed = 0
        self.failed = 0

    def check(self, ok, what):
        if ok:
            self.passed += 1
        else:
            self.failed += 1
            print('FAIL: ' + what)
