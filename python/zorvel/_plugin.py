"""Loading libzorvel.so with ctypes and calling its exports, as any host does."""

import ctypes
import json
import os
import shutil

TABLE_FILES = (
    "ValidationLists.csv.enc",
    "Lists.csv.enc",
    "RuleDefs.csv.enc",
    "TriggerAndRulesToHrg.csv.enc",
    "Combination.csv.enc",
    "Code.csv.enc",
)

_HERE = os.path.dirname(os.path.abspath(__file__))


class ZorvelError(Exception):
    """The plug-in or its tables could not be used."""


def _install_paths():
    try:
        from . import _install  # written by cmake --install
    except ImportError:
        return None
    return _install


def _candidates(name):
    """Where the plug-in (name "lib") or the demo tables (name "tables") may
    be: installed beside this package, next to a `zorvel` program on PATH,
    or in a build folder of the source tree this package sits in."""
    roots = []
    installed = _install_paths()
    if installed is not None:
        roots.append((installed.LIBDIR, installed.DATADIR))
    program = shutil.which("zorvel")
    if program:
        folder = os.path.dirname(os.path.realpath(program))
        roots.append((folder, os.path.join(folder, "share")))
        roots.append((os.path.join(folder, "..", "lib"), os.path.join(folder, "..", "share")))
    source = os.path.dirname(os.path.dirname(_HERE))
    for build in ("build-release", "build", "build-test"):
        folder = os.path.join(source, build)
        roots.append((folder, os.path.join(folder, "share")))
    for lib, share in roots:
        if name == "lib":
            yield os.path.join(lib, "libzorvel.so")
        else:
            yield os.path.join(share, "zorvel", "demo")


def default_plugin():
    """The path of libzorvel.so used when none is given; None when none is found."""
    for path in _candidates("lib"):
        if os.path.isfile(path):
            return os.path.normpath(path)
    return None


def default_tables():
    """The folder of the packed demo tables; None when none is found."""
    for path in _candidates("tables"):
        if os.path.isfile(os.path.join(path, TABLE_FILES[0])):
            return os.path.normpath(path) + os.sep
    return None


class _Library:
    """The exports of one loaded plug-in."""

    def __init__(self, path):
        try:
            lib = ctypes.CDLL(path, mode=os.RTLD_NOW | os.RTLD_LOCAL)
        except OSError as error:
            raise ZorvelError(f"cannot load the plug-in {path}: {error}") from None
        try:
            self.prepare = lib.CS_Prepare
            self.process = lib.CS_Process
            self.schema = lib.CS_GetSchema
            self.name = lib.CS_PluginName
            self.major = lib.CS_VersionMjr
            self.minor = lib.CS_VersionMnr
            self.protocol = lib.CS_ProtocolFormat
            self.description = lib.CS_Description
            self.interface = lib.GetVersion
        except AttributeError as error:
            raise ZorvelError(f"the plug-in {path} lacks an export: {error}") from None
        self.prepare.argtypes = [ctypes.c_char_p]
        self.prepare.restype = ctypes.c_bool
        self.process.argtypes = [ctypes.c_int32, ctypes.c_char_p, ctypes.c_char_p, ctypes.c_uint32]
        self.process.restype = ctypes.c_uint32
        self.schema.argtypes = [ctypes.c_char_p, ctypes.c_uint32]
        self.schema.restype = ctypes.c_uint32
        for text in (self.name, self.protocol, self.description):
            text.argtypes = []
            text.restype = ctypes.c_char_p
        for number in (self.major, self.minor, self.interface):
            number.argtypes = []
            number.restype = ctypes.c_int32
        self.path = path
        self.buffer = ctypes.create_string_buffer(64 * 1024)

    def fetch(self, fill):
        """Calls `fill(buffer, size)` and, when the count shows that the
        document did not fit, once more with a buffer of the count plus one."""
        count = fill(self.buffer, len(self.buffer))
        if count >= len(self.buffer):
            self.buffer = ctypes.create_string_buffer(count + 1)
            count = fill(self.buffer, len(self.buffer))
        return self.buffer.value.decode("utf-8", errors="surrogateescape")


# The plug-in holds one processor per process: the one library loaded here,
# and the tables it was prepared with.
_loaded = {}


class Grouper:
    """A prepared plug-in. `data` is the folder of the six packed tables (the
    demo tables by default), `plugin` the path of libzorvel.so (the one
    installed or built beside this package by default). A `CS_Prepare` that
    answers false raises ZorvelError unless `strict` is False.

    A process holds one prepared plug-in: a second Grouper with the same
    plug-in and tables shares it; one with other tables is refused."""

    def __init__(self, data=None, plugin=None, strict=True):
        plugin = plugin or default_plugin()
        if plugin is None:
            raise ZorvelError("libzorvel.so not found beside this package, beside a zorvel "
                              "program on PATH or in a build folder; give its path as plugin=")
        if not os.path.isfile(plugin):
            raise ZorvelError(f"the plug-in {plugin} does not exist")
        plugin = os.path.realpath(plugin)
        data = data or default_tables()
        if data is None:
            raise ZorvelError("the demo tables were not found; give a table folder as data=")
        if not os.path.isdir(data):
            raise ZorvelError(f"the table folder {data} does not exist")
        data = os.path.join(os.path.realpath(data), "")
        missing = [name for name in TABLE_FILES if not os.path.isfile(os.path.join(data, name))]
        if missing:
            raise ZorvelError(f"the table folder {data} lacks {', '.join(missing)}")
        if "library" in _loaded:
            if _loaded["library"].path != plugin or _loaded["data"] != data:
                raise ZorvelError(
                    f"this process already holds the plug-in {_loaded['library'].path} prepared "
                    f"with {_loaded['data']}; the plug-in keeps one processor per process, so "
                    f"other tables or another plug-in need a process of their own")
            self._library = _loaded["library"]
            self.prepared = _loaded["prepared"]
            self.data = data
            if strict and not self.prepared:
                raise ZorvelError(f"CS_Prepare answered false for {data}")
            return
        library = _Library(plugin)
        prepared = bool(library.prepare(data.encode("utf-8", errors="surrogateescape")))
        _loaded.update(library=library, data=data, prepared=prepared)
        self._library, self.prepared, self.data = library, prepared, data
        if strict and not prepared:
            raise ZorvelError(f"CS_Prepare answered false for {data}: some mode lacks a table it "
                              f"needs, or a table is faulty (strict=False groups with the modes "
                              f"that did set up)")

    @property
    def plugin(self):
        return self._library.path

    def group_text(self, request):
        """The plug-in's answer to a request text, as the text it wrote."""
        data = request.encode("utf-8", errors="surrogateescape")
        library = self._library
        return library.fetch(lambda buffer, size: library.process(0, data, buffer, size))

    def group(self, request):
        """Groups a request (a dict, or JSON text); returns the answer as a dict."""
        if not isinstance(request, str):
            request = json.dumps(request, ensure_ascii=False, separators=(",", ":"))
        return json.loads(self.group_text(request))

    def explain(self, request):
        """The steps that grouped a request (a dict, or JSON text), asked for
        with "Trace": true (the caller's request is left as it is): a list of
        dicts, the spell's steps first, then each episode's in episode order.
        Each has the step's members and "Episode", the episode's "Id" (None
        for the spell's steps). An answer without a trace gives no steps."""
        if isinstance(request, str):
            request = json.loads(request)
        answer = self.group({**request, "Trace": True})
        steps = [{"Episode": None, **step} for step in answer.get("Trace", [])]
        for episode in answer.get("Episodes", []):
            steps += [{"Episode": episode.get("Id"), **step} for step in episode.get("Trace", [])]
        return steps

    def group_spell(self, mode, spell):
        """Groups one spell (a dict with "Id" and "Episodes") of mode `mode`."""
        return self.group({"Group": mode, "Spell": spell})

    def schema(self):
        """The schema document: every mode with its input and output fields."""
        library = self._library
        return json.loads(library.fetch(lambda buffer, size: library.schema(buffer, size)))

    def info(self):
        """The plug-in's identity."""
        library = self._library
        return {
            "Name": library.name().decode(),
            "Version": f"{library.major()}.{library.minor()}",
            "Protocol": library.protocol().decode(),
            "Description": library.description().decode(),
            "Interface": library.interface(),
            "Plugin": library.path,
            "Tables": self.data,
        }
