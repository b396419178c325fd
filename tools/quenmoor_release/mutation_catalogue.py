"""The faults of tests/mutation/catalogue.txt: reading the blocks, choosing the ones to run and
planting one in a source text."""
import dataclasses

# Everything but the 200-SIGKILL case and the 20 MB profile, the two slowest.
DEFAULT_FILTER = "-*KilledAtAnyMoment*:*TwentyMegabyte*"


@dataclasses.dataclass
class Entry:
    id: str
    build: str = ""
    file: str = ""
    tests: str = ""
    filter: str = DEFAULT_FILTER
    # A fault of several edits (a call moved) has several pairs, planted in turn.
    froms: list = dataclasses.field(default_factory=list)
    tos: list = dataclasses.field(default_factory=list)


class Stale(Exception):
    """The entry no longer fits its file: the sources moved on and the entry needs updating."""


def parse(text):
    """The entries of a catalogue: blocks of `key value` lines opened by `mutant ID`. Any other
    line (blank, a comment: # at its start) has no key of these and is left out."""
    entries = []
    for line in text.splitlines():
        key, _, value = line.partition(" ")
        value = value.lstrip(" ")
        if key == "mutant":
            entries.append(Entry(value))
        elif entries and key in ("build", "file", "tests", "filter"):
            setattr(entries[-1], key, value)
        elif entries and key in ("from", "to"):
            getattr(entries[-1], key + "s").append(value)
    return entries


def choose(entries, build, ids=(), changed=None):
    """The entries of one build, in catalogue order: only those named in `ids` when some are,
    and only those whose file is in `changed` when that is given."""
    return [entry for entry in entries if entry.build == build
            and (not ids or entry.id in ids) and (changed is None or entry.file in changed)]


def unknown(entries, ids):
    """The ids, in the order given, that name no entry: a mistyped id would otherwise choose
    nothing and pass."""
    known = {entry.id for entry in entries}
    return [name for name in ids if name not in known]


def plant(text, entry):
    """The text with each of the entry's `from` replaced by its `to`, in turn; each must occur
    exactly once at its turn, or the entry is stale."""
    if len(entry.froms) != len(entry.tos):
        raise Stale(f"{len(entry.froms)} from lines but {len(entry.tos)} to lines")
    for old, new in zip(entry.froms, entry.tos):
        count = text.count(old)
        if count != 1:
            raise Stale(f"it holds the quoted text '{old.strip()}' {count} times, not once")
        text = text.replace(old, new)
    return text
