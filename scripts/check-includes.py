#!/usr/bin/env python3
"""Checks that every header the sources include is installed by the set-up
scripts.

Lists every `#include <...>` of src/, tests/, fuzz/ and bench/ that is not a
header of the C or C++ standard library, finds the file the compiler would
read (its default search folders, then the folders a configured build passes
with -I / -isystem), asks dpkg which Debian package owns it, and fails, naming
the package and the header, when no set-up script installs that package,
directly or through a package it declares that depends on it (Depends and
Pre-Depends, followed among the installed packages, virtual packages through
their providers).

The declared packages are the KALIX_*_PACKAGES arrays of scripts/deps.sh and
the plain package names given to `kalix_install_deps` in scripts/*.sh and
bench/*.sh.

Usage: check-includes.py [--build DIR] [--deps FILE] [-v]
  --build DIR  a configured build folder whose compile_commands.json gives
               the include folders (default: configure a scratch one)
  --deps FILE  the script that declares the packages (default:
               scripts/deps.sh), for trying a changed list
  -v           print every header with its file and package
Exit status: 0 when every header is accounted for, 1 otherwise, 2 when the
check itself cannot run.
"""

import argparse
import glob
import json
import os
import re
import shlex
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SOURCE_FOLDERS = ("src", "tests", "fuzz", "bench")
SOURCE_SUFFIXES = (".cpp", ".cc", ".cxx", ".h", ".hpp", ".hh", ".inc")

# The headers of the C++ standard library (C++23 included) and of the C
# standard library, with the C++ spellings of the C ones.
CXX_HEADERS = """
algorithm any array atomic barrier bit bitset charconv chrono codecvt compare
complex concepts condition_variable coroutine deque exception execution
expected filesystem flat_map flat_set format forward_list fstream functional
future generator initializer_list iomanip ios iosfwd iostream istream iterator
latch limits list locale map mdspan memory memory_resource mutex new numbers
numeric optional ostream print queue random ranges ratio regex scoped_allocator
semaphore set shared_mutex source_location span spanstream sstream stack
stacktrace stdexcept stdfloat stop_token streambuf string string_view
strstream syncstream system_error thread tuple type_traits typeindex typeinfo
unordered_map unordered_set utility valarray variant vector version
""".split()
C_HEADERS = """
assert complex ctype errno fenv float inttypes iso646 limits locale math
setjmp signal stdalign stdarg stdatomic stdbit stdbool stdckdint stddef stdint
stdio stdlib stdnoreturn string tgmath threads time uchar wchar wctype
""".split()
STANDARD = set(CXX_HEADERS) | {h + ".h" for h in C_HEADERS} | {"c" + h for h in C_HEADERS}

INCLUDE = re.compile(r'^\s*#\s*include\s*<([^>]+)>')


def fail(message):
    print("check-includes: " + message, file=sys.stderr)
    sys.exit(2)


def run(args, **kwargs):
    return subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          text=True, **kwargs)


def included_headers():
    """{header: [(file, line number)]} for the non-standard <...> includes."""
    found = {}
    for folder in SOURCE_FOLDERS:
        for dirpath, dirnames, filenames in os.walk(os.path.join(ROOT, folder)):
            dirnames[:] = sorted(d for d in dirnames if not d.startswith("build"))
            for name in sorted(filenames):
                if not name.endswith(SOURCE_SUFFIXES):
                    continue
                path = os.path.join(dirpath, name)
                with open(path, encoding="utf-8", errors="replace") as f:
                    for number, line in enumerate(f, 1):
                        m = INCLUDE.match(line)
                        if m and m.group(1).strip() not in STANDARD:
                            found.setdefault(m.group(1).strip(), []).append(
                                (os.path.relpath(path, ROOT), number))
    return found


def compile_commands(build):
    """The entries of a build's compile_commands.json; configures a scratch
    build (benchmarks included) when no build folder is given."""
    scratch = None
    if build is None:
        scratch = tempfile.TemporaryDirectory(prefix="kalix-includes-")
        build = scratch.name
        r = run(["cmake", "-S", ROOT, "-B", build, "-DKALIX_BENCH=ON",
                 "-DCMAKE_EXPORT_COMPILE_COMMANDS=ON"])
        if r.returncode != 0:
            sys.stderr.write(r.stdout + r.stderr)
            fail("configuring a scratch build failed (see above)")
    path = os.path.join(build, "compile_commands.json")
    if not os.path.exists(path):
        fail(path + " not found: configure the build first")
    with open(path) as f:
        entries = json.load(f)
    if scratch:
        scratch.cleanup()
    return entries


def search_folders(entries):
    """The folders the compiler searches for <...>: those the build passes,
    then the compiler's own."""
    folders = []
    compiler = None
    for entry in entries:
        args = entry.get("arguments") or shlex.split(entry.get("command", ""))
        if not args:
            continue
        compiler = compiler or args[0]
        i = 1
        while i < len(args):
            a = args[i]
            for flag in ("-isystem", "-I"):
                if a == flag and i + 1 < len(args):
                    folder = args[i + 1]
                    i += 1
                    break
                if a.startswith(flag) and len(a) > len(flag):
                    folder = a[len(flag):]
                    break
            else:
                folder = None
            if folder:
                folder = os.path.normpath(os.path.join(entry.get("directory", ROOT), folder))
                if folder not in folders:
                    folders.append(folder)
            i += 1
    r = run([compiler or "c++", "-x", "c++", "-E", "-v", "-"], input="")
    inside = False
    for line in r.stderr.splitlines():
        if line.startswith("#include <...> search starts here"):
            inside = True
        elif line.startswith("End of search list"):
            inside = False
        elif inside:
            folder = os.path.normpath(line.strip())
            if folder not in folders:
                folders.append(folder)
    if not folders:
        fail("no include folders found (compiler: %s)" % (compiler or "c++"))
    return folders


def declared_packages(deps_file):
    """The packages the set-up scripts install: the KALIX_*_PACKAGES arrays of
    deps.sh and the literal names passed to kalix_install_deps."""
    shell = ('. "$1" >/dev/null 2>&1 || exit 1\n'
             'for v in ${!KALIX_@}; do\n'
             '  case $v in *_PACKAGES) declare -n list=$v; printf "%s\\n" "${list[@]}"; unset -n list;; esac\n'
             'done\n')
    r = run(["bash", "-c", shell, "deps", deps_file])
    if r.returncode != 0:
        fail("cannot read " + deps_file)
    packages = set(r.stdout.split())
    scripts = glob.glob(os.path.join(ROOT, "scripts", "*.sh")) + glob.glob(os.path.join(ROOT, "bench", "*.sh"))
    for script in scripts:
        with open(script, encoding="utf-8", errors="replace") as f:
            for line in f:
                m = re.match(r'^\s*kalix_install_deps\b(.*)', line)
                if not m:
                    continue
                for word in m.group(1).split():
                    if word.startswith(("#", "|", "&", ";")):
                        break
                    if re.fullmatch(r'[a-z0-9][a-z0-9+.-]+', word):
                        packages.add(word)
    return packages


def strip_arch(name):
    return name.split(":")[0].strip()


def installed_closure(declared):
    """Every installed package that installing the declared ones brings in."""
    r = run(["dpkg-query", "-W", "-f",
             "${db:Status-Abbrev}\t${Package}\t${Provides}\t${Pre-Depends}\t${Depends}\n"])
    if r.returncode != 0:
        fail("dpkg-query failed: " + r.stderr.strip())
    depends = {}
    providers = {}
    for line in r.stdout.splitlines():
        fields = line.split("\t")
        if len(fields) != 5 or not fields[0].startswith("ii"):
            continue
        _, package, provides, predepends, deps = fields
        depends[package] = [group for group in (predepends + "," + deps).split(",") if group.strip()]
        providers.setdefault(package, set()).add(package)
        for p in provides.split(","):
            if p.strip():
                providers.setdefault(strip_arch(p.split("(")[0]), set()).add(package)

    def satisfying(name):
        return sorted(providers.get(name, ()))

    closure = set()
    todo = []
    for name in declared:
        todo.extend(satisfying(name))
    while todo:
        package = todo.pop()
        if package in closure:
            continue
        closure.add(package)
        for group in depends.get(package, ()):
            # Of "a | b", the first alternative that is installed (directly or
            # through a provider) is the one apt would keep.
            for alternative in group.split("|"):
                found = satisfying(strip_arch(alternative.split("(")[0]))
                if found:
                    todo.extend(found)
                    break
    return closure


def owners(paths):
    """{path: [package]} by dpkg -S; paths no package owns are left out."""
    result = {}
    if not paths:
        return result
    r = run(["dpkg", "-S"] + sorted(paths))
    for line in r.stdout.splitlines():
        if ": " not in line or line.startswith("diversion by"):
            continue
        names, path = line.split(": ", 1)
        if path in paths:
            result[path] = [strip_arch(n) for n in names.split(",")]
    return result


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build")
    parser.add_argument("--deps", default=os.path.join(ROOT, "scripts", "deps.sh"))
    parser.add_argument("-v", "--verbose", action="store_true")
    options = parser.parse_args()

    headers = included_headers()
    folders = search_folders(compile_commands(options.build))
    ours = [os.path.join(ROOT, f) for f in ("src", "tests")]

    located = {}   # header -> file the compiler reads
    missing = []   # headers found nowhere
    for header in sorted(headers):
        if any(os.path.isfile(os.path.join(f, header)) for f in ours):
            continue  # one of the project's own headers
        for folder in folders:
            candidate = os.path.join(folder, header)
            if os.path.isfile(candidate):
                located[header] = candidate
                break
        else:
            missing.append(header)

    # dpkg knows a file by the path its package installed, which may differ
    # from the one found through a symbolic link (merged /usr).
    paths = set(located.values()) | {os.path.realpath(p) for p in located.values()}
    owned = owners(paths)
    declared = declared_packages(options.deps)
    closure = installed_closure(declared)

    problems = []
    for header in missing:
        where = "%s:%d" % headers[header][0]
        problems.append("<%s> (%s) is not found in any include folder: no installed package provides it"
                        % (header, where))
    packages_used = set()
    undeclared = {}  # package -> headers
    for header, path in sorted(located.items()):
        where = "%s:%d" % headers[header][0]
        packages = owned.get(path) or owned.get(os.path.realpath(path))
        if not packages:
            problems.append("<%s> (%s) is %s, which no Debian package owns" % (header, where, path))
            continue
        packages_used.update(packages)
        if options.verbose:
            print("%-28s %-45s %s" % (", ".join(packages), header, where))
        if not any(p in closure for p in packages):
            undeclared.setdefault(" or ".join(packages), []).append("<%s> (%s, %s)" % (header, where, path))
    for package, uses in sorted(undeclared.items()):
        shown = ", ".join(uses[:3]) + (" and %d more" % (len(uses) - 3) if len(uses) > 3 else "")
        problems.append("package %s is installed by no set-up script, but the sources include %s from it: %s"
                        % (package, "a header" if len(uses) == 1 else "%d headers" % len(uses), shown))
    if problems:
        for p in problems:
            print("check-includes: " + p, file=sys.stderr)
        print("check-includes: declare the packages in %s" % os.path.relpath(options.deps, ROOT), file=sys.stderr)
        return 1
    print("check-includes: %d headers from %d packages (%s), all installed by the set-up scripts"
          % (len(located), len(packages_used), ", ".join(sorted(packages_used))))
    return 0


if __name__ == "__main__":
    sys.exit(main())
