"""The flat-file rules of `zorvel group` on a CSV extract, for rows that come
from elsewhere (a DataFrame): how columns fill a mode's request fields, how
rows join into spells and which are rejected, and how answers become the rows
of spells.csv, episodes.csv, errors.csv, unbundled.csv and summary.csv (and,
for requests that ask for it, of a trace table). Only the standard library is
used here."""

import json
import re

MAX_SPELL_ROWS = 10000

SPELLS_START = ["SpellId", "Success"]
EPISODES_START = ["SpellId", "EpisodeId", "Success"]
ERRORS_COLUMNS = ["SpellId", "EpisodeId", "Field", "Message", "Value", "Index", "Section"]
UNBUNDLED_COLUMNS = ["SpellId", "EpisodeId", "HRG", "Count"]
REJECTED_COLUMNS = ["Line", "SpellId", "Reason"]
SUMMARY_COLUMNS = ["Kind", "Value", "Count"]
TRACE_MEMBERS = ["Component", "Step", "Item", "Index", "Code", "Table", "Line", "List", "Rule",
                 "HRG", "Result", "Reason"]
TRACE_COLUMNS = ["SpellId", "EpisodeId", "StepNumber"] + TRACE_MEMBERS


def mode_fields(schema, code):
    """The mode `code` of a schema document; KeyError when it is not there."""
    for mode in schema["SpellEpisode"]["Modes"]:
        if mode.get("Name") == code:
            return mode
    raise KeyError(code)


def _fields(mode, member):
    return [(f["Name"], f.get("Type") == "stringarray") for f in mode.get(member, [])]


class _Slot:
    def __init__(self, name, is_array):
        self.name, self.is_array = name, is_array
        self.column = None  # a value, or an array's whole ";" list
        self.numbered = []  # (number, column) of an array's positions


class ColumnMapping:
    """Which columns fill which fields, by the rules of the flat-file batch:
    a column named as a field fills it; FIELD_1, FIELD_02, ... fill an array
    in the order of their numbers; a column named as an array field lists its
    codes separated by ";"; `column_map` entries (column, field, position)
    name the field of one's own columns, a field the schema does not list
    being sent as named."""

    def __init__(self, mode, header, spell_column="SpellId", column_map=()):
        header = list(header)
        self.mode = mode["Name"]
        self.episode = [_Slot(n, a) for n, a in _fields(mode, "InputEpisodeFields")]
        episode_names = {slot.name for slot in self.episode}
        self.spell = [_Slot(n, a) for n, a in _fields(mode, "InputSpellFields")
                      if n != "Id" and n not in episode_names]
        self.unused, self.missing = [], []
        self.spell_column = header.index(spell_column) if spell_column in header else None
        used = [i == self.spell_column for i in range(len(header))]

        def find(slots, name):
            return next((slot for slot in slots if slot.name == name), None)

        def claim(slot, column):
            if slot.column is not None:
                raise ValueError(f"the columns {header[slot.column]} and {header[column]} "
                                 f"both fill {slot.name}")
            slot.column = column

        for line, (column_name, field, position) in enumerate(column_map, start=2):
            if column_name not in header:
                self.missing.append(column_name)
                continue
            column = header.index(column_name)
            slot = find(self.episode, field) or find(self.spell, field)
            if slot is None:
                slot = _Slot(field, bool(position))
                self.episode.append(slot)
            if not slot.is_array and position:
                raise ValueError(f"line {line} of the column map: {field} holds one value "
                                 f"and has no positions")
            used[column] = True
            if position:
                slot.numbered.append((int(position), column))
            else:
                claim(slot, column)

        for column, name in enumerate(header):
            if used[column]:
                continue
            slot = find(self.episode, name) or find(self.spell, name)
            if slot is not None:
                claim(slot, column)
                continue
            for slot in self.episode:
                match = slot.is_array and re.fullmatch(re.escape(slot.name) + r"_(\d{1,9})", name)
                if match and int(match.group(1)) > 0:
                    slot.numbered.append((int(match.group(1)), column))
                    break
            else:
                self.unused.append(name)

        for slot in self.episode + self.spell:
            if not slot.numbered:
                continue
            if slot.column is not None:
                raise ValueError(f"the column {header[slot.column]} holds all of {slot.name}, "
                                 f"but {header[slot.numbered[0][1]]} fills one of its positions")
            slot.numbered.sort(key=lambda entry: entry[0])
            for (a, first), (b, second) in zip(slot.numbered, slot.numbered[1:]):
                if a == b:
                    raise ValueError(f"the columns {header[first]} and {header[second]} both "
                                     f"fill {slot.name} position {a}")
        self.id_slot = find(self.episode, "Id")

    def episode_id(self, row, index):
        if self.id_slot is not None and self.id_slot.column is not None:
            return row[self.id_slot.column]
        return str(index + 1)

    @staticmethod
    def _values(slot, row):
        if slot.column is not None:
            cell = row[slot.column].rstrip(";")
            values = cell.split(";") if cell else []
        else:
            values = [row[column] for _, column in slot.numbered]
        while values and not values[-1]:
            values.pop()
        return values

    def _fill(self, slots, row, into):
        for slot in slots:
            if not slot.is_array:
                if slot.column is not None and row[slot.column]:
                    into[slot.name] = row[slot.column]
                continue
            values = self._values(slot, row)
            if values:
                into[slot.name] = values

    def request(self, spell_id, rows, trace=False):
        """The request text for a spell of `rows` (cells in header order);
        with `trace`, one that asks for the steps of its grouping."""
        spell = {"Id": spell_id}
        if rows:
            self._fill(self.spell, rows[0], spell)
        episodes = []
        for index, row in enumerate(rows):
            episode = {}
            if self.id_slot is not None and self.id_slot.column is None:
                episode["Id"] = str(index + 1)
            self._fill(self.episode, row, episode)
            episodes.append(episode)
        spell["Episodes"] = episodes
        request = {"Group": self.mode, "Trace": True} if trace else {"Group": self.mode}
        request["Spell"] = spell
        return json.dumps(request, ensure_ascii=False, separators=(",", ":"))


def assemble_spells(rows, spell_column, on_reject):
    """Yields (spell id, [(line, row)]) for consecutive rows of one spell id;
    `rows` are (line, cells). Rejects by `on_reject(line, spell_id, reason)`
    what the flat-file batch rejects: a spell id that comes back after other
    spells, an empty spell id (with the spell in progress), a spell of more
    than MAX_SPELL_ROWS rows. Without a spell column each row is a spell."""
    seen = {}
    current, poison, entries = None, None, []

    def close():
        nonlocal current, poison, entries
        if current is None:
            return None
        spell = (current, [(line, row) for line, row, _ in entries]) if poison is None else None
        if poison is not None:
            for line, _, fault in entries:
                on_reject(line, current if fault != "own id unknown" else "",
                          "the spell id is empty" if fault else "spell rejected: " + poison)
        current, poison, entries = None, None, []
        return spell

    def start(line, spell_id):
        nonlocal current, poison
        finished = close()
        current = spell_id
        if spell_id in seen:
            poison = (f"the spell id {spell_id} comes back after other spells (first seen at "
                      f"line {seen[spell_id]}); its rows are not merged")
        else:
            seen[spell_id] = line
        return finished

    for number, (line, row) in enumerate(rows, start=1):
        spell_id = str(number) if spell_column is None else row[spell_column]
        finished = None
        if spell_id == "":
            if current is None:
                on_reject(line, "", "the spell id is empty")
                continue
            entries.append((line, None, "own id unknown"))
            poison = poison or f"its row at line {line} could not be read"
            continue
        if current is None or spell_id != current:
            finished = start(line, spell_id)
        if finished:
            yield finished
        entries.append((line, row, None))
        if poison is None and len(entries) > MAX_SPELL_ROWS:
            poison = f"the spell has more than {MAX_SPELL_ROWS} rows"
    finished = close()
    if finished:
        yield finished


def cell(value):
    """An answer's value as one cell, as the flat files write it."""
    if value is None:
        return ""
    if isinstance(value, str):
        return value
    if isinstance(value, list):
        return ";".join(item if isinstance(item, str) else "" for item in value)
    return json.dumps(value)


class Tables:
    """The rows of the output files, built up answer by answer."""

    def __init__(self, mode):
        self.spell_columns = [n for n, _ in _fields(mode, "OutputSpellFields")
                              if n not in ("Id", "Errors")]
        self.episode_columns = [n for n, _ in _fields(mode, "OutputEpisodeFields")
                                if n not in ("Id", "Errors")]
        outputs = [n for n, _ in _fields(mode, "OutputSpellFields") + _fields(mode, "OutputEpisodeFields")]
        self.has_unbundled = "UnbundledHRG" in outputs
        self.spell_has_hrg = "HRG" in self.spell_columns
        self.spells, self.episodes, self.errors, self.unbundled, self.rejected = [], [], [], [], []
        self.trace = []
        self.hrgs, self.messages = {}, {}
        self.rows_read = self.rows_grouped = 0
        self.succeeded = self.failed = self.episode_count = 0

    def _errors(self, item, spell_id, episode_id):
        for error in item.get("Errors", []) if isinstance(item, dict) else []:
            message = cell(error.get("Message"))
            self.errors.append([spell_id, episode_id, cell(error.get("Field")), message,
                                cell(error.get("Value")), cell(error.get("Index")),
                                cell(error.get("Section"))])
            self.messages[message] = self.messages.get(message, 0) + 1

    def _unbundled(self, item, spell_id, episode_id):
        for entry in item.get("UnbundledHRG", []) if isinstance(item, dict) else []:
            if not isinstance(entry, str):
                continue
            hrg, star, count = entry.rpartition("*")
            if star and count.isdigit() and count.isascii():
                self.unbundled.append([spell_id, episode_id, hrg, int(count)])
            else:
                self.unbundled.append([spell_id, episode_id, entry, 1])

    def _trace(self, item, spell_id, episode_id, number):
        """Adds the steps of an answer's "Trace", numbered on from `number`;
        returns the number of the last."""
        steps = item.get("Trace", []) if isinstance(item, dict) else []
        for step in steps if isinstance(steps, list) else []:
            step = step if isinstance(step, dict) else {}
            number += 1
            self.trace.append([spell_id, episode_id, number] +
                              [cell(step.get(name)) for name in TRACE_MEMBERS])
        return number

    def add(self, spell_id, mapping, rows, answer):
        """Adds the answer (a dict) to a spell of `rows`."""
        self.rows_grouped += len(rows)
        success = isinstance(answer, dict) and answer.get("Success") is True
        self.succeeded += success
        self.failed += not success
        spell = answer if isinstance(answer, dict) else {}
        self.spells.append([spell_id, "true" if success else "false"] +
                           [cell(spell.get(name)) for name in self.spell_columns])
        if self.spell_has_hrg:
            hrg = cell(spell.get("HRG"))
            self.hrgs[hrg] = self.hrgs.get(hrg, 0) + 1
        self._errors(spell, spell_id, "")
        self._unbundled(spell, spell_id, "")
        step = self._trace(spell, spell_id, "", 0)
        episodes = spell.get("Episodes", [])
        for index, episode in enumerate(episodes if isinstance(episodes, list) else []):
            if isinstance(episode, dict) and "Id" in episode:
                episode_id = cell(episode["Id"])
            elif index < len(rows):
                episode_id = mapping.episode_id(rows[index], index)
            else:
                episode_id = str(index + 1)
            episode = episode if isinstance(episode, dict) else {}
            self.episode_count += 1
            self.episodes.append([spell_id, episode_id,
                                  "true" if episode.get("Success") is True else "false"] +
                                 [cell(episode.get(name)) for name in self.episode_columns])
            if not self.spell_has_hrg:
                hrg = cell(episode.get("HRG"))
                self.hrgs[hrg] = self.hrgs.get(hrg, 0) + 1
            self._errors(episode, spell_id, episode_id)
            self._unbundled(episode, spell_id, episode_id)
            step = self._trace(episode, spell_id, episode_id, step)

    def reject(self, line, spell_id, reason):
        self.rejected.append([line, spell_id, reason])

    def summary(self):
        rows = [
            ["Total", "rows read", self.rows_read],
            ["Total", "rows grouped", self.rows_grouped],
            ["Total", "rows rejected", len(self.rejected)],
            ["Total", "spells", len(self.spells)],
            ["Total", "spells grouped successfully", self.succeeded],
            ["Total", "spells failed", self.failed],
            ["Total", "episodes", self.episode_count],
        ]

        def by_count(counts):
            return sorted(counts.items(), key=lambda item: (-item[1], item[0].encode()))

        rows += [["HRG", hrg, count] for hrg, count in by_count(self.hrgs)]
        rows += [["Error", message, count] for message, count in by_count(self.messages)]
        return rows
