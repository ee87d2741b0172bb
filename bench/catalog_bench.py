"""The catalog rows of bench/compare.py: `qzcard catalog erasable` of one
card and `lacking` over a catalog of 1,000 cards and a million files, on
SQLite and on a local PostgreSQL server, and `catalog add` of the 999-clip
card (what recording a `list` will cost).

The catalogs are filled once into the cache by bench/bench-catalog: 999
made-up cards of 1,000 files each written in bulk as the catalog holds them
(two copies of every file on two volumes; every 200th card with one copy
only, whose files `lacking` names) and a real card of 333 clips (1,110
files) recorded through the catalog with its hashes and two copies. The
PostgreSQL cluster is made once by initdb in the cache and started for the
run on a Unix socket only (as the postgres user when run as root).
"""

import atexit
import glob
import os
import shutil
import subprocess
import tempfile

CARDS = 999
FILES = 1000


def _as_server_user(argv):
    return ["runuser", "-u", "postgres", "--"] + argv if os.geteuid() == 0 else argv


class PostgresServer:
    def __init__(self, cache):
        bins = sorted(glob.glob("/usr/lib/postgresql/*/bin"))
        self.bin = os.environ.get("QZ_POSTGRES_BIN") or (bins[-1] if bins else None)
        self.cluster = os.path.join(cache, "postgres-cluster")
        self.socket = None

    def start(self):
        if not self.bin:
            return False
        if not os.path.exists(os.path.join(self.cluster, "PG_VERSION")):
            fresh = self.cluster + ".new"
            shutil.rmtree(fresh, ignore_errors=True)
            os.makedirs(fresh)
            if os.geteuid() == 0:
                shutil.chown(fresh, "postgres")
            subprocess.run(_as_server_user([self.bin + "/initdb", "-D", fresh, "-A", "trust", "-U", "postgres",
                                            "-E", "UTF8"]), check=True, stdout=subprocess.DEVNULL)
            os.rename(fresh, self.cluster)
        self.socket = tempfile.mkdtemp(prefix="qzpg-", dir="/tmp")
        if os.geteuid() == 0:
            shutil.chown(self.socket, "postgres")
        subprocess.run(_as_server_user([self.bin + "/pg_ctl", "-D", self.cluster, "-w", "-l",
                                        os.path.join(self.socket, "log"), "-o",
                                        "-k %s -c listen_addresses=''" % self.socket, "start"]),
                       check=True, stdout=subprocess.DEVNULL)
        atexit.register(self.stop)  # also when the comparison stops early
        return True

    def psql(self, sql):
        return subprocess.run([self.bin + "/psql", "-X", "-At", "-h", self.socket, "-U", "postgres", "-d", "postgres",
                               "-c", sql], check=True, capture_output=True, text=True).stdout

    def url(self, database):
        if not self.psql("SELECT 1 FROM pg_database WHERE datname = '%s'" % database).strip():
            self.psql("CREATE DATABASE " + database)
        return "postgresql:///%s?host=%s&user=postgres" % (database, self.socket)

    def stop(self):
        if self.socket:
            subprocess.run(_as_server_user([self.bin + "/pg_ctl", "-D", self.cluster, "-m", "fast", "-w", "stop"]),
                           stdout=subprocess.DEVNULL)
            shutil.rmtree(self.socket, ignore_errors=True)
            self.socket = None


def catalog_commands(Command, make_once, run_quiet, build, cache, qzcard, many_card, out, log):
    """The rows, and the server to stop at the end (or None)."""
    filler = os.path.join(build, "bench", "bench-catalog")
    server = PostgresServer(cache)
    if not server.start():
        log("compare: no PostgreSQL (Debian package postgresql): no catalog rows for it")
        server = None
    database = "qzbench_%dx%d" % (CARDS + 1, FILES)

    def make(folder):
        # The catalogs hold the card's sizes and times: they are made with it.
        run_quiet([qzcard, "sample-card", folder + "/card", "--clips", "333", "--frames", "6"])
        run_quiet([filler, folder + "/catalog.sqlite", folder + "/card", str(CARDS), str(FILES)])
        if server:
            server.psql("DROP DATABASE IF EXISTS " + database)

    folder = os.path.join(cache, "catalog")
    make_once(folder, make)
    card, sqlite = folder + "/card", folder + "/catalog.sqlite"
    commands = [
        Command("catalog erasable sqlite", [qzcard, "catalog", "--catalog", sqlite, "erasable", card]),
        Command("catalog lacking sqlite", [qzcard, "catalog", "--catalog", sqlite, "lacking"], ok=(0, 4)),
    ]
    if server:
        url = server.url(database)
        run_quiet([filler, url, card, str(CARDS), str(FILES)])
        commands += [
            Command("catalog erasable postgresql", [qzcard, "catalog", "--catalog", url, "erasable", card]),
            Command("catalog lacking postgresql", [qzcard, "catalog", "--catalog", url, "lacking"], ok=(0, 4)),
        ]
    # The offload of the 999-clip card recording into a catalog of its own, and
    # the same offload recording nothing: the first over the second is what
    # recording costs (aim: at most 1.1).
    recorded = os.path.join(out, "offload999-recorded")
    commands.append(Command("offload 999 recorded", [qzcard, "--catalog", recorded + "/catalog.sqlite", "offload",
                                                     many_card, recorded], outputs=recorded))
    unrecorded = os.path.join(out, "offload999")
    commands.append(Command("offload 999 no catalog", [qzcard, "--no-catalog", "offload", many_card,
                                                       unrecorded], outputs=unrecorded))
    commands.append(Command("list 999 no catalog", [qzcard, "--no-catalog", "list", many_card]))
    # list recording into a catalog of its own that already knows the card
    # (the first run records it whole; the runs measured update it), as a
    # station lists a card it has seen: against the row above, what
    # recording costs list (aim: at most 0.2 s in all).
    listed = os.path.join(out, "list999-catalog")
    os.makedirs(listed, exist_ok=True)
    commands.append(Command("list 999 recorded", [qzcard, "--catalog", listed + "/catalog.sqlite", "list",
                                                  many_card]))
    scratch = os.path.join(out, "catalog-add")
    commands.append(Command("catalog add 999", [qzcard, "catalog", "--catalog", scratch + "/catalog.sqlite", "add",
                                                many_card], outputs=scratch))
    return commands, server


def catalog_summary(by_name):
    lines = []
    for store in ("sqlite", "postgresql"):
        erasable, lacking = by_name.get("catalog erasable " + store), by_name.get("catalog lacking " + store)
        if erasable and lacking:
            lines.append("catalog on %s: erasable of a card of 1,110 files %.3f s, lacking over %d cards and %d files"
                         " %.3f s (aim: at most 0.2 s each)"
                         % (store, erasable.median(), CARDS + 1, CARDS * FILES + 1110, lacking.median()))
    recorded, unrecorded = by_name.get("offload 999 recorded"), by_name.get("offload 999 no catalog")
    if recorded and unrecorded:
        lines.append("catalog: offload of the 999-clip card recording it %.2fx the time of the same offload recording"
                     " nothing (aim: at most 1.10)" % (recorded.median() / unrecorded.median()))
    listed, unlisted = by_name.get("list 999 recorded") or by_name.get("list 999"), by_name.get("list 999 no catalog")
    if listed and unlisted:
        lines.append("catalog: list of the 999-clip card recording it %.3f s, without %.3f s (aim: at most 0.2 s)"
                     % (listed.median(), unlisted.median()))
    return lines
