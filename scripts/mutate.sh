#!/bin/sh
# Plants each fault of scripts/mutations.txt in turn into a scratch copy of the working tree and
# checks that the test suites catch it.
#
#   scripts/mutate.sh [id...]
#
# The checkout is never written: the tracked files (with their uncommitted changes) and the
# untracked files that git does not ignore, build folders left out, are copied to a scratch folder,
# built there once and tested once unchanged; then each fault is applied, built incrementally,
# tested, and taken out again. A fault is "caught" when a test fails or times out, "survived" when
# every test passes, "no build" when the mutant does not compile, and "not applied" when its
# original text does not occur exactly once in its file. The exit status is 0 only when every
# fault was caught, 1 otherwise, 2 for a bad command line or list, 3 when the unchanged copy fails.
#
# Environment:
#   MUTATE_LIST        the list of faults (default: scripts/mutations.txt of this tree)
#   MUTATE_CTEST_ARGS  more arguments for ctest, e.g. "-E x11" (split at blanks)
#   MUTATE_TIMEOUT     seconds for a test that sets no timeout of its own (default 300)
#   MUTATE_BUILD_TYPE  CMAKE_BUILD_TYPE of the scratch build (default RelWithDebInfo, as the
#                      developers build, so that ccache holds most of the first build)
#   MUTATE_JOBS        parallel build and test jobs (default: nproc)
#   MUTATE_KEEP=1      keep the scratch folder (its path is printed)
#   TMPDIR             where the scratch folder is made (default /tmp)
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
list=${MUTATE_LIST:-$here/scripts/mutations.txt}
ctest_args=${MUTATE_CTEST_ARGS:-}
timeout=${MUTATE_TIMEOUT:-300}
build_type=${MUTATE_BUILD_TYPE:-RelWithDebInfo}
jobs=${MUTATE_JOBS:-$(nproc)}

case "${1:-}" in
-h | --help)
    sed -n '2,/^set -eu/p' "$0" | sed '$d' | sed 's/^# \{0,1\}//'
    exit 0
    ;;
esac
if [ ! -f "$list" ]; then
    echo "mutate.sh: no list of faults at $list" >&2
    exit 2
fi

scratch=$(mktemp -d "${TMPDIR:-/tmp}/gantrel-mutate.XXXXXX")
child=""
cleanup() {
    if [ -n "$child" ]; then
        kill -TERM "-$child" 2>/dev/null || true
        wait "$child" 2>/dev/null || true
    fi
    if [ "${MUTATE_KEEP:-0}" = 1 ]; then
        echo "mutate.sh: scratch folder kept: $scratch" >&2
    else
        rm -rf "$scratch"
    fi
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

# Long steps run in the background in a session of their own, so that a signal to this script
# ends the build or the tests at once (the shell runs its trap only once the job it waits for
# ends) and the trap can stop their whole process group.
run() {
    setsid -w "$@" &
    child=$!
    run_status=0
    wait "$child" || run_status=$?
    child=""
    return "$run_status"
}

src=$scratch/src
build=$src/build
logs=$scratch/logs
mkdir -p "$src" "$logs"

# The helper that reads the list and applies or takes out one fault.
tool=$scratch/mutations.pl
cat >"$tool" <<'PERL'
use strict;
use warnings;

# Reads the list: returns the entries in file order, each { id, path, line, from, to, text }.
sub read_list {
    my ($file) = @_;
    open(my $in, '<', $file) or die "mutate.sh: cannot read $file: $!\n";
    my (@entries, %seen, $entry);
    my $bad = sub { die "mutate.sh: $file:$.: $_[0]\n" };
    while (my $line = <$in>) {
        $line =~ s/\r?\n\z//;
        next if $line =~ /^\s*(#|\z)/;
        if ($line =~ /^@\s+(\S+)\s+(\S+)\s*\z/) {
            $bad->("duplicate id $1") if $seen{$1}++;
            $entry = { id => $1, path => $2, line => $. };
            push @entries, $entry;
        } elsif (!$entry) {
            $bad->("expected '\@ id path'");
        } elsif ($line =~ /^- ?(.*)\z/s) {
            $bad->("a second '-' line in $entry->{id}") if defined $entry->{from};
            $bad->("empty '-' line in $entry->{id}") if $1 eq '';
            $entry->{from} = $1;
        } elsif ($line =~ /^\+ ?(.*)\z/s) {
            $bad->("'+' before '-' in $entry->{id}") unless defined $entry->{from};
            $bad->("a second '+' line in $entry->{id}") if defined $entry->{to};
            $entry->{to} = $1;
        } else {
            $bad->("text after the '-' line in $entry->{id}") if defined $entry->{from};
            $entry->{text} = defined $entry->{text} ? "$entry->{text} $line" : $line;
        }
    }
    for my $e (@entries) {
        die "mutate.sh: $file:$e->{line}: $e->{id} needs one '-' and one '+' line\n"
            unless defined $e->{from} && defined $e->{to};
    }
    return @entries;
}

my ($command, $file, @rest) = @ARGV;
my @entries = read_list($file);
my %by_id = map { $_->{id} => $_ } @entries;

if ($command eq 'select') {
    # Prints "id<TAB>path" for the ids given, or for all.
    my @chosen = @rest ? @rest : map { $_->{id} } @entries;
    for my $id (@chosen) {
        die "mutate.sh: no fault $id in $file\n" unless $by_id{$id};
    }
    print "$_\t$by_id{$_}{path}\n" for @chosen;
} elsif ($command eq 'tests') {
    # Prints the tests of standard input that the description names ("tst_launch::commandLines"
    # names tst_launch), in the description's order.
    my ($id) = @rest;
    my %known = map { chomp; ($_ => 1) } <STDIN>;
    my %printed;
    for my $word (split /[^A-Za-z0-9_:]+/, $by_id{$id}{text} // '') {
        (my $name = $word) =~ s/::.*//;
        print "$name\n" if $known{$name} && !$printed{$name}++;
    }
} elsif ($command eq 'apply') {
    # Replaces the one occurrence of the original text; exit 3 when there is not exactly one.
    my ($id, $root) = @rest;
    my $e = $by_id{$id};
    my $path = "$root/$e->{path}";
    open(my $in, '<:raw', $path) or do { print STDERR "no file $e->{path}\n"; exit 3 };
    my $text = do { local $/; <$in> };
    close $in;
    my ($count, $pos, $at) = (0, 0, -1);
    while ((my $found = index($text, $e->{from}, $pos)) >= 0) {
        $count++;
        $at = $found;
        $pos = $found + 1;
    }
    if ($count != 1) {
        print STDERR "the original text occurs $count times in $e->{path}\n";
        exit 3;
    }
    substr($text, $at, length $e->{from}) = $e->{to};
    open(my $out, '>:raw', $path) or die "mutate.sh: cannot write $path: $!\n";
    print $out $text;
    close $out or die "mutate.sh: cannot write $path: $!\n";
} else {
    die "mutate.sh: unknown command $command\n";
}
PERL

# The list is read from a copy, so that editing it during a run changes nothing.
cp "$list" "$scratch/mutations.txt"
list=$scratch/mutations.txt
selection=$scratch/selection
if ! perl "$tool" select "$list" "$@" >"$selection"; then
    exit 2
fi
# Every '-' text is matched within one line (the list holds no line breaks), so an occurrence
# across lines cannot happen.

echo "Copying the working tree to $src"
(cd "$here" && git ls-files -z --cached --others --exclude-standard) |
    perl -0ne 'chomp; next if m{^build[^/]*/}; print "$_\0" if -e "'"$here"'/$_" || -l "'"$here"'/$_"' |
    (cd "$here" && tar --null --no-recursion -T - -cf -) | (cd "$src" && tar -xf -)

# A fault may leave a warning behind (an unused variable, say), which must not stop its build.
# With ccache, the compiler runs through a launcher that compiles as configured first (warnings as
# errors, the developers' own command line, so that the first build comes from their cache: paths
# are hashed relative to the copy, which is laid out as a checkout) and only a failed compile is
# tried again with -Wno-error. Without ccache, warnings are no errors at all.
launcher=$scratch/compile.sh
if command -v ccache >/dev/null 2>&1; then
    export CCACHE_BASEDIR="$src" CCACHE_NOHASHDIR=1
    cat >"$launcher" <<'LAUNCHER'
#!/bin/sh
ccache "$@" 2>/dev/null && exit 0
exec ccache "$@" -Wno-error
LAUNCHER
    chmod +x "$launcher"
    werror=ON
    unset CMAKE_CXX_COMPILER_LAUNCHER
    set -- -DCMAKE_CXX_COMPILER_LAUNCHER="$launcher"
else
    werror=OFF
    set --
fi

echo "Configuring and building the unchanged copy (log: $logs/build.log)"
if ! run cmake -S "$src" -B "$build" -DCMAKE_BUILD_TYPE="$build_type" -DGANTREL_WERROR="$werror" "$@" \
    >"$logs/build.log" 2>&1 || ! run cmake --build "$build" -j"$jobs" >>"$logs/build.log" 2>&1; then
    tail -n 30 "$logs/build.log" >&2
    echo "mutate.sh: the unchanged copy does not build" >&2
    exit 3
fi

# ctest runs in the build folder (its --test-dir option needs CMake 3.20).
cd "$build"
# shellcheck disable=SC2086
run_tests() {
    run ctest -j"$jobs" --timeout "$timeout" "$@" $ctest_args
}

# The first test that ctest reports as failed, timed out or not run.
first_failure() {
    perl -ne 'if (/^\s*\d+\/\d+ Test\s+#\d+: (\S+)/ && !/\sPassed\s/ && !/\sSkipped\s/ && !/Not Run \(Disabled\)/) { print "$1\n"; exit }' "$1"
}

echo "Testing the unchanged copy (log: $logs/baseline.log)"
start=$(date +%s)
if ! run_tests >"$logs/baseline.log" 2>&1; then
    sed -n '/tests passed/,$p' "$logs/baseline.log" >&2
    echo "mutate.sh: the unchanged copy fails its tests; fix them first" >&2
    exit 3
fi
echo "All tests pass on the unchanged copy ($(($(date +%s) - start)) s)"

# The tests that MUTATE_CTEST_ARGS selects, one name a line.
selected=$scratch/tests
# shellcheck disable=SC2086
ctest -N $ctest_args | perl -ne 'print "$1\n" if /^\s*Test\s+#\d+: (\S+)/' >"$selected"

# Returns 0 when every test passes, 1 when one fails or times out, 2 when the mutant does not build.
# The tests that the fault's description names run first, built alone where they are programs of
# the build, so that a caught fault costs only those tests and their links; a fault they miss is
# built whole and tested with every test.
test_mutant() {
    named=$(perl "$tool" tests "$list" "$1" <"$selected" | paste -s -d '|' -)
    if [ -n "$named" ]; then
        echo "Tests named by the fault first: $named"
        if printf '%s\n' "$named" | tr '|' '\n' | grep -q -v '^tst_'; then
            run cmake --build "$build" -j"$jobs" || return 2
        else
            # shellcheck disable=SC2046
            run cmake --build "$build" -j"$jobs" --target $(printf '%s\n' "$named" | tr '|' ' ') || return 2
        fi
        run_tests --stop-on-failure -R "^($named)\$" || return 1
    fi
    run cmake --build "$build" -j"$jobs" || return 2
    run_tests --stop-on-failure || return 1
}

results=$scratch/results
: >"$results"
total=$(wc -l <"$selection")
n=0
tab=$(printf '\t')
while IFS="$tab" read -r id path; do
    n=$((n + 1))
    start=$(date +%s)
    log=$logs/$id.log
    file=$src/$path
    failed=""
    if [ ! -f "$file" ]; then
        result="not applied"
        echo "no file $path" >"$log"
    else
        cp "$file" "$scratch/original"
        if ! perl "$tool" apply "$list" "$id" "$src" >"$log" 2>&1; then
            result="not applied"
        else
            status=0
            test_mutant "$id" >>"$log" 2>&1 || status=$?
            case $status in
            0) result="survived" ;;
            1)
                result="caught"
                failed=$(first_failure "$log")
                ;;
            *) result="no build" ;;
            esac
        fi
        # Written back rather than moved, so that the file is newer than the mutant's objects and
        # the next build compiles it again (from ccache).
        cat "$scratch/original" >"$file"
    fi
    printf '%s\t%s\t%s\t%s\n' "$id" "$path" "$result" "$failed" >>"$results"
    printf '[%d/%d] %-24s %-12s %s (%d s)\n' "$n" "$total" "$id" "$result" "$failed" \
        "$(($(date +%s) - start))"
done <"$selection"

echo
perl -F'\t' -lane '
    push @rows, [@F[0..2], $F[3] // ""];
    $count{$F[2]}++;
    END {
        my @head = ("id", "file", "result", "first failing test");
        my @width = map { length } @head;
        for my $row (@rows) {
            $width[$_] = length $row->[$_] > $width[$_] ? length $row->[$_] : $width[$_] for 0..2;
        }
        my $format = join(" ", map { "%-${_}s" } @width[0..2]) . " %s\n";
        printf $format, @head;
        printf $format, @$_ for @rows;
        print "";
        print join(", ", map { ($count{$_} // 0) . " $_" } ("caught", "survived", "no build", "not applied"));
    }' "$results"
if [ "${MUTATE_KEEP:-0}" = 1 ]; then
    echo "Logs: $logs"
fi

if grep -q -v "${tab}caught${tab}" "$results"; then
    exit 1
fi
exit 0
