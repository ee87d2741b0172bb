#!/usr/bin/env python3
"""Whole-process import and offload benchmark of qzcard against ffmpeg, cat and cp.

Writes, once, into a cache folder a card holding one long clip (1920x1080
59.94i 50 Mbps CBR, four channels, three member files), a card of 999 short
clips (listed, and reported with a thumbnail per clip) and one of 200 (reported,
for its peak memory), then runs the
commands below (among them `export --format mov` of the long clip against
ffmpeg joining its member files into one MOV with `-f concat -map 0 -c
copy`, its output synced as ours is) in turn, each round in another order, with
the page cache warm, and prints the median wall time of each with its
throughput, its ratio to its ffmpeg peer and to cat, its peak resident memory,
and (from one extra run under strace) the bytes and read calls it spends on the
member files against their size. verify --decode is set against ffmpeg
decoding the member files' pictures (-map 0:v -f null -). The offload rows
copy the long-clip card to one destination (copy, hash, sync, read-back from
the drive) against what a careful user does by hand: `cp -r`, `sync` of the
copy (so that it is on the drive, as offload's is) and `xxhsum` of the copy
read back from the drive (`dd iflag=direct`), as offload reads it, and from
the page cache;
`cp -r` + `xxhsum` without the sync is shown too (its copy may still be only
in the page cache when it ends). Two destinations are measured both on the
disk (twice the disk's work) and with the second on a RAM-backed file system
(tmpfs, --ram), which measures the second writer's CPU cost apart from the
disk; that destination is also measured alone; run as root, two RAM disks of
its own (tmpfs mounts) take one copy and two. The hash formats' in-memory
throughput comes from the HashBench benchmark. The catalog rows (see
bench/catalog_bench.py) ask `erasable` and `lacking` of a catalog of 1,000
cards and a million files on SQLite and on a local PostgreSQL server. The
ingest rows run `ingest CARD --to A --then B --movies M --report R` (its
card busy time, start to the cardFree event, against `offload 1`; its whole
time against `offload CARD A B`, `export --format mov` and `report` run one
after the other; its peak memory).

Run through bench/compare.sh, which builds what it needs first.
"""

import argparse
import bisect
import glob
import os
import re
import resource
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

import shlex

import catalog_bench

MIB = 1024 * 1024
TIME = "/usr/bin/time" if os.access("/usr/bin/time", os.X_OK) else None


def log(text):
    print(text, file=sys.stderr, flush=True)


def run_quiet(argv, **kwargs):
    result = subprocess.run(argv, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True, **kwargs)
    if result.returncode != 0:
        sys.exit("compare: %s failed (%d): %s" % (" ".join(argv), result.returncode, result.stderr.strip()))


def make_once(folder, make):
    """Runs make(scratch) unless `folder` is complete; renames scratch into place."""
    if os.path.exists(os.path.join(folder, ".complete")):
        return
    shutil.rmtree(folder, ignore_errors=True)
    scratch = folder + ".partial"
    shutil.rmtree(scratch, ignore_errors=True)
    started = time.monotonic()
    make(scratch)
    open(os.path.join(scratch, ".complete"), "w").close()
    os.rename(scratch, folder)
    log("compare: wrote %s in %.0f s" % (folder, time.monotonic() - started))


def synced(argv, paths):
    """`argv`, then its outputs `paths` and their folders synced to the drive, as qzcard syncs its own."""
    folders = sorted({os.path.dirname(p) for p in paths})
    return ["sh", "-c", '"$@" && sync ' + " ".join(shlex.quote(p) for p in paths + folders), "sh"] + argv


def member_files(card, clip):
    return sorted(glob.glob(os.path.join(card, "CONTENTS", "CLIPS001", clip, clip + "[0-9][0-9].MXF")))


def warm(paths):
    for path in paths:
        with open(path, "rb") as f:
            while f.read(8 * MIB):
                pass


class Command:
    def __init__(self, name, argv, peer=None, stdout=None, outputs=None, files=None, ok=(0,)):
        self.name = name
        self.ok = ok  # the exit codes of a run that worked (a question may answer "no")
        self.argv = argv
        self.peer = peer  # name of the ffmpeg command it is set against
        self.stdout = stdout  # a file the output goes to (cat)
        self.outputs = outputs if isinstance(outputs, list) else [outputs] if outputs else []  # emptied before every run
        self.files = files or []  # the member files whose reads count
        self.times = []
        self.rss = []  # KiB
        self.cpu = []  # user + system seconds
        self.reads = None

    def prepare(self):
        for folder in self.outputs:
            shutil.rmtree(folder, ignore_errors=True)
            os.makedirs(folder)

    def run(self, prefix=()):
        """Wall seconds, peak RSS in KiB and user + system seconds of one run."""
        self.prepare()
        # Dirty pages of earlier runs would be written back during this one.
        os.sync()
        # A child forked from this interpreter starts out with its pages, so
        # its own getrusage would count them: /usr/bin/time measures the
        # command alone.
        with tempfile.NamedTemporaryFile("r", prefix="qz-time-") as usage:
            argv = list(prefix) + self.argv
            if TIME:
                argv = [TIME, "-f", "%M %U %S", "-o", usage.name] + argv
            out = open(self.stdout, "wb") if self.stdout else subprocess.DEVNULL
            try:
                started = time.perf_counter()
                process = subprocess.run(argv, stdout=out, stderr=subprocess.PIPE)
                elapsed = time.perf_counter() - started
            finally:
                if self.stdout:
                    out.close()
            if process.returncode not in self.ok:
                sys.exit("compare: %s failed (%d): %s"
                         % (" ".join(self.argv), process.returncode, process.stderr.decode(errors="replace").strip()))
            if TIME:
                rss, user, system = usage.read().split()[-3:]
                return elapsed, int(rss), float(user) + float(system)
        child = resource.getrusage(resource.RUSAGE_CHILDREN)
        return elapsed, child.ru_maxrss, child.ru_utime + child.ru_stime

    def median(self):
        return statistics.median(self.times)


class IngestCommand(Command):
    """An ingest, timed also to the moment its cardFree event is printed (the card's busy time)."""

    def __init__(self, *args, **kwargs):
        super().__init__(*args, **kwargs)
        self.busy = []  # seconds from the start to "card free", per counted run

    def run(self, prefix=()):
        if prefix:  # the traced run: no event to wait for
            return super().run(prefix)
        self.prepare()
        os.sync()
        with tempfile.NamedTemporaryFile("r", prefix="qz-time-") as usage:
            argv = ([TIME, "-f", "%M %U %S", "-o", usage.name] if TIME else []) + self.argv
            started = time.perf_counter()
            process = subprocess.Popen(argv, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
            free = None
            for line in process.stdout:
                if free is None and b'"event":"cardFree"' in line:
                    free = time.perf_counter() - started
            stderr = process.stderr.read()
            process.wait()
            elapsed = time.perf_counter() - started
            if process.returncode not in self.ok or free is None:
                sys.exit("compare: %s failed (%d): %s"
                         % (" ".join(self.argv), process.returncode, stderr.decode(errors="replace").strip()))
            self.busy.append(free)
            if TIME:
                rss, user, system = usage.read().split()[-3:]
                return elapsed, int(rss), float(user) + float(system)
        child = resource.getrusage(resource.RUSAGE_CHILDREN)
        return elapsed, child.ru_maxrss, child.ru_utime + child.ru_stime


class Intervals:
    """A union of byte ranges; add() answers how many of the new bytes were already in it."""

    def __init__(self):
        self.starts = []
        self.ends = []

    def add(self, start, end):
        if end <= start:
            return 0
        i = bisect.bisect_left(self.ends, start)
        overlap = 0
        new_start, new_end = start, end
        j = i
        while j < len(self.starts) and self.starts[j] <= end:
            overlap += max(0, min(end, self.ends[j]) - max(start, self.starts[j]))
            new_start = min(new_start, self.starts[j])
            new_end = max(new_end, self.ends[j])
            j += 1
        self.starts[i:j] = [new_start]
        self.ends[i:j] = [new_end]
        return overlap


SYSCALL = re.compile(r"^(\d+\.\d+) (\w+)\((.*)\)\s+= (-?\d+)")


def traced_reads(command, scratch):
    """Bytes, read calls and re-read bytes of the member files, from one run under strace."""
    prefix = os.path.join(scratch, "trace")
    for old in glob.glob(prefix + "*"):
        os.remove(old)
    command.run(["strace", "-ff", "-ttt", "-qq", "-s", "0", "-o", prefix,
                 "-e", "trace=open,openat,read,pread64,readv,preadv,preadv2,copy_file_range,sendfile,splice,"
                 "lseek,close,dup,dup2,dup3"])
    lines = []
    for path in glob.glob(prefix + "*"):
        with open(path, errors="replace") as f:
            lines.extend(f.readlines())
    lines.sort(key=lambda line: float(line.split(" ", 1)[0]) if line[:1].isdigit() else 0.0)
    real = {os.path.realpath(p): p for p in command.files}
    fds = {}  # fd -> [member path, position]
    seen = {p: Intervals() for p in command.files}
    total = calls = reread = 0
    for line in lines:
        m = SYSCALL.match(line)
        if not m:
            continue
        call, args, result = m.group(2), m.group(3), int(m.group(4))
        if call in ("open", "openat"):
            name = re.search(r'"((?:[^"\\]|\\.)*)"', args)
            path = real.get(os.path.realpath(name.group(1))) if name else None
            if result >= 0:
                fds[result] = [path, 0] if path else None
            continue
        fields = [f.strip() for f in args.split(",")]
        # The file read from: sendfile(out, in, ...) names it second.
        source = fields[1] if call == "sendfile" and len(fields) > 1 else fields[0]
        fd = int(source) if source.isdigit() else -1
        if call == "close":
            fds.pop(fd, None)
            continue
        if call.startswith("dup"):
            if result >= 0 and fds.get(fd):
                fds[result] = [fds[fd][0], fds[fd][1]]
            continue
        entry = fds.get(fd)
        if not entry or result < 0:
            continue
        if call == "lseek":
            entry[1] = result
            continue
        if call in ("pread64", "preadv", "preadv2"):
            start = int(fields[-2] if call == "preadv2" else fields[-1])
        elif call in ("copy_file_range", "splice", "sendfile") and re.match(r"\[\d+\]", fields[2 if call == "sendfile" else 1]):
            start = int(fields[2 if call == "sendfile" else 1][1:-1]) - result  # the offset printed after the call
        else:
            start = entry[1]
            entry[1] += result
        calls += 1
        total += result
        reread += seen[entry[0]].add(start, start + result)
    return total, calls, reread


def ram_backed(folder):
    """Whether `folder` lies on a tmpfs or ramfs mount."""
    if not os.path.isdir(folder):
        return False
    real, best, kind = os.path.realpath(folder), "", None
    with open("/proc/mounts") as mounts:
        for line in mounts:
            fields = line.split()
            point = fields[1].replace("\\040", " ")
            if (real == point or real.startswith(point.rstrip("/") + "/")) and len(point) > len(best):
                best, kind = point, fields[2]
    return kind in ("tmpfs", "ramfs")


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", default=os.path.join(here, "..", "build", "dev"),
                        help="build folder holding qzcard, the bundle and bench/bench-card")
    parser.add_argument("--cache", default=os.environ.get("QZ_BENCH_CACHE"),
                        help="folder for the cards (default BUILD/bench-cache)")
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--frames", type=int, default=3000, help="pictures of the long clip")
    parser.add_argument("--no-trace", action="store_true", help="skip the strace run")
    parser.add_argument("--only", help="comma-separated names of the commands to run (default: all)")
    parser.add_argument("--ram", default="/dev/shm",
                        help="a folder on a RAM-backed file system for the second destination of 'offload 2 tmpfs'")
    args = parser.parse_args()
    if args.rounds < 1:
        sys.exit("compare: --rounds must be at least 1")
    build = os.path.abspath(args.build)
    qzcard = os.path.join(build, "tools", "qzcard", "qzcard")
    bench_card = os.path.join(build, "bench", "bench-card")
    for tool in (qzcard, bench_card):
        if not os.access(tool, os.X_OK):
            sys.exit("compare: %s is not built (run bench/compare.sh)" % tool)
    for tool in ["ffmpeg", "cat", "cp", "xxhsum"] + ([] if args.no_trace else ["strace"]):
        if not shutil.which(tool):
            sys.exit("compare: %s is not installed" % tool)
    cache = os.path.abspath(args.cache or os.path.join(build, "bench-cache"))
    os.makedirs(cache, exist_ok=True)
    # The commands record what they learn, as they do for a user, but into a
    # catalog of the benchmark's own (the child processes inherit it), never
    # into the user's.
    os.environ["QZCARD_CATALOG"] = os.path.join(cache, "catalog.sqlite")

    long_card = os.path.join(cache, "long%d" % args.frames)
    many_card = os.path.join(cache, "many999")
    some_card = os.path.join(cache, "many200")
    make_once(long_card, lambda d: run_quiet([bench_card, d, str(args.frames)]))
    make_once(many_card, lambda d: run_quiet([qzcard, "sample-card", d, "--clips", "999", "--frames", "6"]))
    make_once(some_card, lambda d: run_quiet([qzcard, "sample-card", d, "--clips", "200", "--frames", "6"]))
    some_members = sorted(glob.glob(os.path.join(some_card, "CONTENTS", "CLIPS001", "*", "*.MXF")))
    members = member_files(long_card, "QZ0001")
    many_members = sorted(glob.glob(os.path.join(many_card, "CONTENTS", "CLIPS001", "*", "*.MXF")))
    size = sum(os.path.getsize(p) for p in members)

    out = os.path.join(cache, "out")
    concat = os.path.join(cache, "long-members.txt")
    with open(concat, "w") as f:
        for path in members:
            f.write("file '%s'\n" % path)
    ffmpeg = ["ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "concat", "-safe", "0", "-i", concat]
    commands = [
        Command("export", [qzcard, "export", long_card, "QZ0001", "-o", out + "/export", "--force", "--format", "es"],
                peer="ffmpeg extract", outputs=out + "/export", files=members),
        Command("ffmpeg extract",
                synced(ffmpeg + ["-map", "0:v", "-c", "copy", "-f", "mpeg2video", out + "/ffmpeg/QZ0001.m2v",
                                 "-filter_complex", "[0:a:0][0:a:1]amerge=inputs=2[s]", "-map", "[s]",
                                 "-c:a", "pcm_s16le", out + "/ffmpeg/QZ0001.wav"],
                       [out + "/ffmpeg/QZ0001.m2v", out + "/ffmpeg/QZ0001.wav"]),
                outputs=out + "/ffmpeg", files=members),
        # One movie of the clip: ours through the plug-in and libavformat,
        # ffmpeg's joining the same member files.
        Command("export mov", [qzcard, "export", long_card, "QZ0001", "-o", out + "/mov", "--force", "--format", "mov"],
                peer="ffmpeg mov", outputs=out + "/mov", files=members),
        Command("ffmpeg mov", synced(ffmpeg + ["-map", "0", "-c", "copy", out + "/ffmpeg-mov/QZ0001.mov"],
                                     [out + "/ffmpeg-mov/QZ0001.mov"]),
                outputs=out + "/ffmpeg-mov", files=members),
        # Proxies of the clip, half size: ours through the plug-in, its
        # decoder, libavfilter and the encoder, against ffmpeg doing the same
        # work over the member files (the same codec, settings, size and
        # filters, every sound channel, threads on every core) and syncing its
        # movie, as ours is synced.
        Command("proxy prores", [qzcard, "export", long_card, "QZ0001", "-o", out + "/proxy", "--force",
                                 "--format", "proxy", "--codec", "prores-proxy"],
                peer="ffmpeg prores proxy", outputs=out + "/proxy", files=members),
        Command("ffmpeg prores proxy", synced(ffmpeg + [
            "-map", "0:v", "-map", "0:a", "-vf", "scale=960:540:interl=1,format=yuv422p10le",
            "-c:v", "prores_ks", "-profile:v", "0", "-flags", "+ildct", "-c:a", "copy", out + "/ffmpeg-proxy/QZ0001.mov"], [out + "/ffmpeg-proxy/QZ0001.mov"]),
                outputs=out + "/ffmpeg-proxy", files=members),
        Command("proxy h264", [qzcard, "export", long_card, "QZ0001", "-o", out + "/daily", "--force",
                               "--format", "proxy", "--codec", "h264"],
                peer="ffmpeg h264 daily", outputs=out + "/daily", files=members),
        Command("ffmpeg h264 daily", synced(ffmpeg + [
            "-map", "0:v", "-map", "0:a", "-vf", "bwdif=mode=send_frame,scale=960:540,format=yuv420p",
            "-c:v", "libx264", "-preset", "veryfast", "-crf", "23", "-c:a", "aac", "-b:a", "128k",
            "-movflags", "+faststart", out + "/ffmpeg-daily/QZ0001.mov"], [out + "/ffmpeg-daily/QZ0001.mov"]),
                outputs=out + "/ffmpeg-daily", files=members),
        Command("cat", ["cat"] + members, stdout=out + "/cat/QZ0001.mxf", outputs=out + "/cat", files=members),
        Command("export --null", [qzcard, "export", long_card, "QZ0001", "--null"], peer="ffmpeg null",
                files=members),
        Command("ffmpeg null", ffmpeg + ["-map", "0", "-c", "copy", "-f", "null", "-"], files=members),
        Command("verify", [qzcard, "verify", long_card, "QZ0001"], files=members),
        Command("verify --decode", [qzcard, "verify", long_card, "QZ0001", "--decode"], peer="ffmpeg decode",
                files=members),
        Command("ffmpeg decode", ["sh", "-c", 'for f; do ffmpeg -nostdin -v error -i "$f" -map 0:v -f null - || exit; done',
                                  "sh"] + members, files=members),
        Command("list 999", [qzcard, "list", many_card], files=many_members),
        Command("report 999", [qzcard, "report", many_card, "-o", out + "/report"], outputs=out + "/report",
                files=many_members),
        Command("report 200", [qzcard, "report", some_card, "-o", out + "/report200"], outputs=out + "/report200",
                files=some_members),
        Command("offload 1", [qzcard, "offload", long_card, out + "/offload1"],
                peer="cp -r + sync + xxhsum from the drive", outputs=out + "/offload1", files=members),
        # What offload does, by hand: the copy synced, then read back from
        # the drive (direct reads, past the page cache) and hashed.
        Command("cp -r + sync + xxhsum from the drive",
                ["sh", "-c", 'cp -r "$1" "$2" && sync && find "$2" -type f | while read -r f; do'
                 ' dd if="$f" iflag=direct bs=4M status=none | xxhsum - || exit; done', "sh", long_card,
                 out + "/cpd/card"], outputs=out + "/cpd", files=members),
        # A plain sync, as a person types it (every run starts after one, so
        # it writes out the copy and little else; syncing the copy's files one
        # by one measured slower).
        Command("cp -r + sync + xxhsum",
                ["sh", "-c", 'cp -r "$1" "$2" && sync && find "$2" -type f -exec xxhsum {} +', "sh", long_card,
                 out + "/cps/card"], outputs=out + "/cps", files=members),
        Command("cp -r + xxhsum", ["sh", "-c", 'cp -r "$1" "$2" && find "$2" -type f -exec xxhsum {} +', "sh",
                                   long_card, out + "/cp/card"], outputs=out + "/cp", files=members),
        Command("offload 2", [qzcard, "offload", long_card, out + "/offload2a", out + "/offload2b"],
                outputs=[out + "/offload2a", out + "/offload2b"], files=members),
    ]
    # A card's day: ingest (card free after the first copy; the second copy,
    # the movie and the report from it) against today's commands run one
    # after the other, each reading the card.
    day = ["--to", out + "/ingest-a", "--then", out + "/ingest-b", "--movies", out + "/ingest-m",
           "--report", out + "/ingest-r"]
    commands.append(IngestCommand("ingest", [qzcard, "ingest", long_card] + day + ["--json"],
                                  outputs=[out + "/ingest-" + x for x in "abmr"], files=members))
    commands.append(Command("offload + export mov + report",
                            ["sh", "-c", '"$1" offload "$2" "$3/a" "$3/b" && "$1" export "$2" --join --allow-missing'
                             ' --format mov -o "$3/m" && "$1" report "$2" -o "$3/r"', "sh", qzcard, long_card,
                             out + "/separate"],
                            outputs=[out + "/separate/" + x for x in "abmr"], files=members))
    ram = os.path.join(os.path.abspath(args.ram), "qz-bench-%d" % os.getpid())
    if ram_backed(args.ram):
        commands.append(Command("offload 2 tmpfs", [qzcard, "offload", long_card, out + "/offload2a", ram],
                                outputs=[out + "/offload2a", ram], files=members))
        # The second destination alone: what it costs without the disk.
        commands.append(Command("offload 1 tmpfs", [qzcard, "offload", long_card, ram], outputs=[ram],
                                files=members))
    else:
        log("compare: %s is not on a RAM-backed file system: no 'offload 2 tmpfs' row" % args.ram)
    catalog_server = None
    if not args.only or any(name.startswith("catalog") for name in args.only.split(",")):
        catalog_rows, catalog_server = catalog_bench.catalog_commands(Command, make_once, run_quiet, build, cache,
                                                                      qzcard, many_card, out, log)
        commands += catalog_rows
    # Two RAM disks of their own (root mounts them), each with room for one copy.
    disks = [os.path.join(cache, "ram-a"), os.path.join(cache, "ram-b")]
    mounted = []
    if os.geteuid() == 0:
        for disk in disks:
            os.makedirs(disk, exist_ok=True)
            if subprocess.run(["mount", "-t", "tmpfs", "-o", "size=%d" % (size + 256 * MIB), "tmpfs", disk],
                              stderr=subprocess.DEVNULL).returncode == 0:
                mounted.append(disk)
    if len(mounted) == 2:
        commands.append(Command("offload 1 RAM disk", [qzcard, "offload", long_card, disks[0] + "/copy"],
                                outputs=[disks[0] + "/copy"], files=members))
        commands.append(Command("offload 2 RAM disks", [qzcard, "offload", long_card, disks[0] + "/copy",
                                                        disks[1] + "/copy"],
                                outputs=[disks[0] + "/copy", disks[1] + "/copy"], files=members))
    else:
        log("compare: not root (or no tmpfs): no 'offload 1 RAM disk' and 'offload 2 RAM disks' rows")
    try:
        measure(args, commands, by_name_of(commands, args), build, size, members, ram)
    finally:
        for disk in mounted:
            subprocess.run(["umount", disk])
        if catalog_server:
            catalog_server.stop()


def by_name_of(commands, args):
    if args.only:
        wanted = set(args.only.split(","))
        commands[:] = [c for c in commands if c.name in wanted]
        for c in commands:
            if c.peer not in wanted:
                c.peer = None
    return {c.name: c for c in commands}


def measure(args, commands, by_name, build, size, members, ram):
    many_members = [f for c in commands if c.name.endswith((" 999", " 200")) for f in c.files]
    warm(members + sorted(set(many_members)))
    for command in commands:  # warm-up, not counted
        command.run()
    for r in range(args.rounds):
        # Each round starts one command later, so that no command always
        # follows the same one.
        order = commands[r % len(commands):] + commands[:r % len(commands)]
        for command in order:
            elapsed, rss, cpu = command.run()
            command.times.append(elapsed)
            command.rss.append(rss)
            command.cpu.append(cpu)
        log("compare: round %d of %d done" % (r + 1, args.rounds))
    if not args.no_trace:
        with tempfile.TemporaryDirectory(prefix="qz-trace-") as scratch:
            for command in commands:
                command.reads = traced_reads(command, scratch)

    cat_time = by_name["cat"].median() if "cat" in by_name else None
    print("long clip: %d frames in %d member files, %.1f MB; list and report: 999 clips; %d rounds, medians"
          % (args.frames, len(members), size / 1e6, args.rounds))
    header = ("command", "median s", "cpu s", "MB/s", "x ffmpeg", "x cat", "peak RSS MiB", "read MB", "read ampl",
              "read calls", "re-read MB")
    rows = []
    for c in commands:
        t = c.median()
        peer = by_name[c.peer].median() / t if c.peer else None
        to_cat = cat_time / t if cat_time and c.name in ("export", "ffmpeg extract", "export mov", "ffmpeg mov") else None
        files_size = sum(os.path.getsize(p) for p in c.files)
        row = [c.name, "%.3f" % t, "%.3f" % statistics.median(c.cpu),
               "%.0f" % (size / 1e6 / t) if c.files and not c.name.endswith((" 999", " 200")) else "-",
               "%.2f" % peer if peer else "-", "%.2f" % to_cat if to_cat else "-",
               "%.1f" % (max(c.rss) / 1024)]
        if c.reads:
            total, calls, reread = c.reads
            row += ["%.1f" % (total / 1e6), "%.3f" % (total / files_size), str(calls), "%.2f" % (reread / 1e6)]
        else:
            row += ["-"] * 4
        rows.append(row)
    widths = [max(len(str(x)) for x in col) for col in zip(header, *rows)]
    for row in [header] + rows:
        print("  ".join(str(x).rjust(w) if i else str(x).ljust(w) for i, (x, w) in enumerate(zip(row, widths))))
    for line in catalog_bench.catalog_summary(by_name):
        print(line)
    if "report 999" in by_name:
        print("report of the 999-clip card, one thumbnail per clip: %.2f s (aim: at most 10)" % by_name["report 999"].median())
    if "report 200" in by_name:
        c = by_name["report 200"]
        print("report of the 200-clip card: peak RSS %.1f MiB (median of the rounds %.1f; aim: at most 96), %.2f s"
              % (max(c.rss) / 1024, statistics.median(c.rss) / 1024, c.median()))
    if "list 999" in by_name:
        c = by_name["list 999"]
        print("list of the 999-clip card: %.3f s, peak RSS %.1f MiB" % (c.median(), max(c.rss) / 1024))
    if "export mov" in by_name and "ffmpeg mov" in by_name:
        print("export of the long recording to one MOV: %.2fx the speed of ffmpeg -f concat -c copy, both synced"
              " (aim: at least 1), %.1f MiB against %.1f MiB peak RSS"
              % (by_name["ffmpeg mov"].median() / by_name["export mov"].median(),
                 max(by_name["export mov"].rss) / 1024, max(by_name["ffmpeg mov"].rss) / 1024))
    if "verify --decode" in by_name and "ffmpeg decode" in by_name:
        print("verify --decode: %.2fx the speed of ffmpeg decoding the member files (aim: at least 1)"
              % (by_name["ffmpeg decode"].median() / by_name["verify --decode"].median()))
    print("cpu s: median user + system time of the process (the machine may be shared: wall times wait for it);"
          " MB/s: the long clip's member files over the median wall time")
    print("x ffmpeg: the peer's time over this command's (above 1 is faster; offload 1: against cp -r + sync + xxhsum from the drive);"
          " x cat: likewise for cat; read ampl: bytes read from the member files over their size (list: over all"
          " 999 clips' files)")
    if "offload 1" in by_name and "cp -r + sync + xxhsum from the drive" in by_name:
        print("offload, one destination: %.2fx the speed of cp -r + sync + xxhsum of the copy read back from the"
              " drive (aim: at least 1.2), which does what offload does"
              % (by_name["cp -r + sync + xxhsum from the drive"].median() / by_name["offload 1"].median()))
    if "offload 1" in by_name and "cp -r + sync + xxhsum" in by_name:
        print("offload, one destination: %.2fx the speed of cp -r + sync + xxhsum, whose hash is read from the"
              " page cache, not the drive"
              % (by_name["cp -r + sync + xxhsum"].median() / by_name["offload 1"].median()))
    if "offload 1" in by_name and "cp -r + xxhsum" in by_name:
        print("offload, one destination: %.2fx the speed of cp -r + xxhsum without sync (whose copy may not be"
              " on the drive yet when it ends)" % (by_name["cp -r + xxhsum"].median() / by_name["offload 1"].median()))
    if "offload 1" in by_name and "offload 2" in by_name:
        print("offload, two destinations on the same disk: %.2fx the time of one (aim: at most 1.15, for"
              " separate drives; one disk does twice the writing and reading)"
              % (by_name["offload 2"].median() / by_name["offload 1"].median()))
    if "offload 1" in by_name and "offload 2 tmpfs" in by_name:
        print("offload, two destinations, the second on tmpfs: %.2fx the time of one (aim: at most 1.15)"
              % (by_name["offload 2 tmpfs"].median() / by_name["offload 1"].median()))
        if "offload 1 tmpfs" in by_name:
            slower = max(by_name["offload 1"].median(), by_name["offload 1 tmpfs"].median())
            print("offload, two destinations, the second on tmpfs: %.2fx the time of the slower of the two alone"
                  " (offload 1 on the disk, offload 1 tmpfs: the cost of the second destination without the disk)"
                  % (by_name["offload 2 tmpfs"].median() / slower))
    if "offload 1 RAM disk" in by_name and "offload 2 RAM disks" in by_name:
        print("offload to two RAM disks: %.2fx the time of one RAM disk (aim: at most 1.25); cpu %.2f s against %.2f s"
              % (by_name["offload 2 RAM disks"].median() / by_name["offload 1 RAM disk"].median(),
                 statistics.median(by_name["offload 2 RAM disks"].cpu),
                 statistics.median(by_name["offload 1 RAM disk"].cpu)))
    if "ingest" in by_name and "offload 1" in by_name:
        ingest = by_name["ingest"]
        print("ingest --to A --then B --movies M --report R: the card busy (start to card free) %.2fx the time of"
              " offload 1 alone (aim: at most 1.1); median %.3f s" % (statistics.median(ingest.busy) /
                                                                        by_name["offload 1"].median(),
                                                                        statistics.median(ingest.busy)))
    if "ingest" in by_name and "offload + export mov + report" in by_name:
        print("ingest, the whole day: %.2fx the time of offload A B, export --format mov and report run one after"
              " the other (aim: at most 0.8); peak RSS %.1f MiB (aim: at most 160)"
              % (by_name["ingest"].median() / by_name["offload + export mov + report"].median(),
                 max(by_name["ingest"].rss) / 1024))
    hash_bench = os.path.join(build, "bench", "HashBench")
    if os.access(hash_bench, os.X_OK) and (not args.only or "hash" in args.only.split(",")):
        result = subprocess.run([hash_bench, "--benchmark_format=json"], capture_output=True, text=True)
        if result.returncode == 0:
            import json
            rates = ["%s %.2f GB/s" % (b["label"], b["bytes_per_second"] / 1e9)
                     for b in json.loads(result.stdout)["benchmarks"]]
            print("hash throughput in memory: " + ", ".join(rates))
    shutil.rmtree(ram, ignore_errors=True)


if __name__ == "__main__":
    main()
