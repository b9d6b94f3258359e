"""Writes a section-3 manual page for every exported C function, and the
zentrava(3) overview, from the object model.

    python3 gen_man.py --model MODEL_DIR --source SOURCE_DIR --version VERSION --out OUT_DIR

Prototypes of the wrappers are those of the generated header; the hand-written
functions' come from the public headers under SOURCE_DIR/include/zentrava.
Status texts are the driver's message table (SOURCE_DIR/services). The hand-written
extensions beyond the model take their text from man_extensions.ini beside this
script. OUT_DIR keeps exactly the pages written.
"""

import configparser
import glob
import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from gen_ivic import Generator, model_options, write_if_changed  # noqa: E402
from model import load  # noqa: E402
from reference import MODEL_WORDS, attribute_summary, commands, member_commands  # noqa: E402

EXTENSIONS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "man_extensions.ini")

# What each hand-written session, error and utility function does, and the
# messages it can give beyond those every session call can.
SESSION_WORDS = {
    "Ztv_init": ("open a session to an instrument",
                 "Creates a driver object, initializes it with the resource and the default options, and "
                 "returns a new session (IIviDriver.Initialize). Same as Ztv_InitWithOptions with an empty option string.",
                 "E_IVI_RESOURCE_UNKNOWN E_IVI_ID_QUERY_FAILED E_IVI_RESET_FAILED E_ZENTRAVA_IO_GENERAL "
                 "E_ZENTRAVA_IO_TIMEOUT"),
    "Ztv_InitWithOptions": ("open a session to an instrument with options",
                            "Creates a driver object, initializes it with the resource and the option string "
                            "(RangeCheck, Cache, Simulate, QueryInstrStatus, RecordCoercions, InterchangeCheck "
                            "and DriverSetup, for example \"Simulate=1, DriverSetup=Model=Q7310A\") and returns "
                            "a new session (IIviDriver.Initialize).",
                            "E_IVI_RESOURCE_UNKNOWN E_IVI_ID_QUERY_FAILED E_IVI_RESET_FAILED "
                            "E_IVI_MISSING_OPTION_NAME E_IVI_MISSING_OPTION_VALUE E_IVI_BAD_OPTION_NAME "
                            "E_IVI_BAD_OPTION_VALUE E_ZENTRAVA_IO_GENERAL E_ZENTRAVA_IO_TIMEOUT"),
    "Ztv_close": ("close a session",
                  "Closes the driver object (IIviDriver.Close): its I/O, its trace; then disposes of the session.", ""),
    "Ztv_AttachToExistingCOMSession": ("make a session for an existing driver object",
                                       "Returns a new session that drives an initialized driver object "
                                       "created through the COM face.", ""),
    "Ztv_GetNativeIUnknownPtr": ("get the driver object behind a session",
                                 "Returns the IUnknown pointer of the session's driver object, with a "
                                 "reference the caller releases.", ""),
    "Ztv_LockSession": ("lock a session for the calling thread",
                        "Takes the session's lock, so that a sequence of calls is not interleaved with "
                        "calls from other threads. Locks nest.", ""),
    "Ztv_UnlockSession": ("unlock a session", "Releases a lock taken with Ztv_LockSession.", ""),
    "Ztv_GetError": ("get and clear the session's last error",
                     "Returns the status and description of the last error of the session (or of the "
                     "thread, when Vi is VI_NULL) and clears it.", ""),
    "Ztv_ClearError": ("clear the session's last error", "Forgets the last error of the session.", ""),
    "Ztv_error_message": ("describe a status",
                          "Writes the text of a status returned by this driver into ErrorMessage.", ""),
    "Ztv_error_query": ("read the instrument's next error",
                        "Asks the instrument for its oldest error (IIviDriverUtility.ErrorQuery, \"SYST:ERR?\") and "
                        "returns its number and text.", "E_ZENTRAVA_IO_GENERAL E_ZENTRAVA_IO_TIMEOUT E_IVI_UNEXPECTED_RESPONSE"),
    "Ztv_self_test": ("run the instrument's self test",
                      "Runs the instrument's self test (IIviDriverUtility.SelfTest, \"*TST?\") and returns its "
                      "result and message.",
                      "E_ZENTRAVA_IO_GENERAL E_ZENTRAVA_IO_TIMEOUT E_IVI_UNEXPECTED_RESPONSE"),
    "Ztv_revision_query": ("get the driver and firmware revisions",
                           "Returns the driver's revision and the instrument's firmware revision "
                           "(IIviDriverIdentity.Revision, InstrumentFirmwareRevision).", ""),
    "Ztv_reset": ("reset the instrument", "Resets the instrument (IIviDriverUtility.Reset, \"*RST\").",
                  "E_ZENTRAVA_IO_GENERAL E_ZENTRAVA_IO_TIMEOUT E_IVI_RESET_FAILED"),
    "Ztv_ResetWithDefaults": ("reset the instrument and apply the initial settings",
                              "Resets the instrument and applies the configured initial settings "
                              "(IIviDriverUtility.ResetWithDefaults).",
                              "E_ZENTRAVA_IO_GENERAL E_ZENTRAVA_IO_TIMEOUT E_IVI_RESET_FAILED"),
    "Ztv_Disable": ("put the instrument in a quiescent state", "Puts the instrument in a quiescent state "
                    "(IIviDriverUtility.Disable).",
                    ""),
    "Ztv_InvalidateAllAttributes": ("forget every cached attribute value",
                                    "Empties the value cache (IIviDriverOperation.InvalidateAllAttributes), "
                                    "so that each attribute is read from the instrument again.", ""),
    "Ztv_ResetInterchangeCheck": ("restart interchangeability checking",
                                  "Restarts interchangeability checking from the current state "
                                  "(IIviDriverOperation.ResetInterchangeCheck).", ""),
    "Ztv_ClearInterchangeWarnings": ("forget the interchangeability warnings",
                                     "Clears the list of interchangeability warnings "
                                     "(IIviDriverOperation.ClearInterchangeWarnings).", ""),
    "Ztv_GetNextCoercionRecord": ("get the oldest coercion record",
                                  "Returns and removes the oldest record of a value the driver coerced "
                                  "(IIviDriverOperation.GetNextCoercionRecord, with RecordCoercions on); an "
                                  "empty text when there is none.", ""),
    "Ztv_GetNextInterchangeWarning": ("get the oldest interchangeability warning",
                                      "Returns and removes the oldest interchangeability warning "
                                      "(IIviDriverOperation.GetNextInterchangeWarning, with InterchangeCheck "
                                      "on); an empty text when there is none.", ""),
}

# Parameters of the functions the data lists argument by argument.
PARAM_WORDS = {
    "Vi": "the session from Ztv_init or Ztv_InitWithOptions.",
    "ResourceName": "a VISA resource descriptor (\"TCPIP0::10.0.0.7::inst0::INSTR\") or an IVI logical name.",
    "IdQuery": "VI_TRUE to read \"*IDN?\" and check that the instrument is a supported model.",
    "Reset": "VI_TRUE to reset the instrument after opening it.",
    "OptionString": "the options, \"Name=Value\" separated by commas; empty for the defaults.",
    "Object": "the IUnknown pointer of an initialized driver object.",
    "Ptr": "receives the IUnknown pointer of the driver object.",
    "CallerHasLock": "VI_NULL, or a flag that records whether the caller holds the lock.",
    "ErrorCode": "the status, or where it is written.",
    "BufferSize": "the size of the output buffer in bytes; 0 asks for the size needed.",
    "Description": "receives the error text.",
    "ErrorMessage": "receives the text (256 bytes).",
    "TestResult": "receives the self-test result, 0 for passed.",
    "TestMessage": "receives the self-test message (256 bytes).",
    "DriverRev": "receives the driver revision (256 bytes).",
    "InstrRev": "receives the instrument firmware revision (256 bytes).",
    "Record": "receives the coercion record.",
    "Warning": "receives the interchangeability warning.",
    "RepCapIdentifier": "the repeated capability the attribute belongs to: empty for a driver attribute, a "
                        "measurement name (\"Measurement1\") or \"measurement,marker\" (\"Measurement1,Marker2\").",
    "AttributeId": "the attribute, a ZTV_ATTR_ or IVI_ATTR_ constant.",
    "AttributeValue": "the value, or where it is written.",
    "Index": "the position in the collection, from 1.",
    "Name": "receives the name.",
    "Text": "the text sent, or the buffer that receives the reply.",
    "ActualCount": "receives the number of bytes read.",
}

# What the C arguments of a model member's argument kind carry.
KIND_WORDS = {
    "text in": {None: "the text."},
    "integer in": {None: "the value."},
    "real in": {None: "the value."},
    "boolean in": {None: "VI_TRUE or VI_FALSE."},
    "real array in": {"Count": "the number of values in Data.", "Data": "the values."},
    "byte array in": {"Count": "the number of bytes in Data.", "Data": "the bytes."},
    "reals in-out": {None: "the value passed in; receives the value returned."},
    "text out": {"BufferSize": PARAM_WORDS["BufferSize"], None: "receives the text."},
    "real array out": {"BufferSize": "the number of values Data holds.", "Data": "receives the values.",
                       "ActualSize": "receives the number of values returned."},
    "byte array out": {"BufferSize": "the number of bytes Data holds.", "Data": "receives the bytes.",
                       "ActualSize": "receives the number of bytes returned."},
    "byte array in-out": {"BufferSize": "the number of bytes Data holds.",
                          "Data": "the bytes passed in; receives the bytes returned.",
                          "ActualSize": "receives the number of bytes returned."},
    "integer out": {None: "receives the value."},
}

SELECTOR_WORDS = {1: "the measurement: its name (\"Measurement1\").",
                  2: "the marker of a measurement: \"measurement,marker\" (\"Measurement1,Marker2\")."}

SELECTOR_ERRORS = "E_IVI_BADLY_FORMED_SELECTOR E_IVI_UNKNOWN_NAME_IN_SELECTOR E_IVI_INVALID_NUMBER_OF_LEVELS_IN_SELECTOR"
IO_ERRORS = "E_ZENTRAVA_IO_GENERAL E_ZENTRAVA_IO_TIMEOUT E_IVI_INSTRUMENT_STATUS"

# Statuses of the attribute accessors that have no message text.
ACCESSOR_STATUSES = [("0xBFFA000C", "the attribute id is not one of this driver's."),
                     ("0xBFFA000D", "the attribute is read-only."),
                     ("0xBFFA0015", "the attribute does not have the accessor's type.")]
GENERIC_FAILURE = ("0x80000000", "a null output pointer, or a failure without a message of its own.")


# ---- sources beside the model ---------------------------------------------------------------

def header_prototypes(source):
    """Function name -> prototype, from the hand-written public headers."""
    found = {}
    for path in sorted(glob.glob(os.path.join(source, "include", "zentrava", "*.h"))):
        with open(path) as f:
            text = f.read()
        for m in re.finditer(r"ViStatus\s+_VI_FUNC\s+(Ztv_\w+)\s*\(([^;]*)\)\s*;", text):
            found[m.group(1)] = "ViStatus _VI_FUNC %s(%s)" % (m.group(1), " ".join(m.group(2).split()))
    return found


def ivic_status(code):
    """The IVI-C status of a result code (the driver's status translation)."""
    if code == 0:
        return 0
    if code < 0x80000000:
        return 0x3FFA0000 | (code & 0xFFF)
    if code & 0xFFFFF000 == 0x80047000:
        return 0xBFFA0000 | (code & 0xFFF)
    return 0xBFFA0000 | (code & 0xFFFF)


def messages(source):
    """Message name -> (IVI-C status, text with the driver prefix), from the driver's one error list."""
    with open(os.path.join(source, "services", "error_list.h")) as f:
        rows = re.finditer(r"X\((\w+), (0x[0-9A-Fa-f]+), \d+, ((?:\"(?:[^\"\\]|\\.)*\"\s*)+)\)", f.read())
        return {m.group(1): (ivic_status(int(m.group(2), 16)),
                             "Zentrava: " + "".join(re.findall(r"\"((?:[^\"\\]|\\.)*)\"", m.group(3))))
                for m in rows}


def extensions():
    parser = configparser.ConfigParser(interpolation=None)
    parser.optionxform = str
    parser.read(EXTENSIONS)
    return {name: parser[name] for name in parser.sections()}


# ---- roff -----------------------------------------------------------------------------------

def roff(text):
    """Text as roff input: backslashes escaped, no line taken for a request."""
    text = text.replace("\\", "\\e")
    return "\\&" + text if text.startswith((".", "'")) else text


def paragraphs(text):
    out = []
    for para in text.split("\n.\n"):
        out += [".PP", roff(" ".join(para.split()))]
    return out


def entry(tag, text):
    return [".TP", ".B %s" % tag, roff(text)]


def see_also(names):
    names = sorted(set(names)) + ["zentrava"]
    return [".SH SEE ALSO"] + [".BR %s (3)%s" % (n, "," if i < len(names) - 1 else "")
                               for i, n in enumerate(names)]


# ---- pages ----------------------------------------------------------------------------------

class Pages:
    def __init__(self, model, source, version):
        self.model = model
        self.version = version
        self.headers = header_prototypes(source)
        self.messages = messages(source)
        self.extensions = extensions()
        self.by_interface = {}
        for export in model.exports.values():
            self.by_interface.setdefault(export.interface, []).append(export.name)

    def head(self, name, summary):
        # Left-adjusted and unhyphenated: identifiers and command texts are long words.
        return ['.TH %s 3 "" "Zentrava %s" "Zentrava C interface"' % (name, self.version), ".ad l", ".nh",
                ".SH NAME", "%s \\- %s" % (name, summary)]

    def synopsis(self, prototype):
        return [".SH SYNOPSIS", ".nf", ".B #include <zentrava/Zentrava.h>", ".PP", roff(prototype + ";"), ".fi",
                ".PP", "Link with", ".BR \"pkg-config \\-\\-cflags \\-\\-libs zentrava\" ."]

    def statuses(self, names, extra=()):
        out = [".SH RETURN VALUE",
               "0 on success, a positive warning status, or a negative error status. Ztv_GetError gives the "
               "text of the last error, with the names and values it was given in place of %1, %2 and %3.",
               ".PP", "Statuses this function can give besides 0:"]
        for name in dict.fromkeys(names.split()):
            status, text = self.messages[name]
            out += entry("0x%08X" % status, "%s (%s)" % (text, name))
        for status, text in list(extra) + [GENERIC_FAILURE]:
            out += entry(status, text)
        return out

    def parameters(self, items):
        out = [".SH PARAMETERS"]
        for name, text in items:
            out += entry(name, text)
        return out

    def page(self, name):
        if name in self.extensions:
            return self.extension_page(name, self.extensions[name])
        export = self.model.exports[name]
        return getattr(self, "%s_page" % export.group)(export)

    def names(self):
        return sorted(set(self.model.exports) | set(self.extensions))

    def prototype(self, export):
        if export.group == "session":
            return self.headers[export.name]
        return Generator.prototype(export)

    # Hand-written functions.
    def session_page(self, export):
        summary, text, statuses = SESSION_WORDS[export.name]
        opens = any(a.name == "Vi" and a.direction == "out" for a in export.c_args)
        neighbours = [e.name for e in self.model.exports.values() if e.group == "session" and e.name != export.name]
        return (self.head(export.name, summary) + self.synopsis(self.prototype(export)) +
                [".SH DESCRIPTION"] + paragraphs(text) +
                self.parameters([(a.name, "receives the new session." if a.direction == "out" and a.name == "Vi"
                                  else PARAM_WORDS[a.name]) for a in export.c_args]) +
                self.statuses(("" if opens else "E_IVI_NOT_INITIALIZED ") + statuses) + see_also(neighbours[:8]))

    def extension_page(self, name, data):
        params = []
        for line in data["parameters"].splitlines():
            if ":" in line and line.split(":")[0].isidentifier():
                params.append(list(line.split(":", 1)))
            else:
                params[-1][1] += " " + line
        return (self.head(name, data["summary"]) + self.synopsis(self.headers[name]) + [".SH DESCRIPTION"] +
                paragraphs(data["description"]) + self.parameters([(p, t.strip()) for p, t in params]) +
                self.statuses(data["statuses"]) + see_also(data["see_also"].split()))

    # Functions the model describes.
    def accessor_page(self, export):
        setting = export.name.startswith("Ztv_Set")
        ctype = export.name[len("Ztv_GetAttribute"):]
        attrs = [a for a in self.model.attributes if a.ctype == ctype]
        if setting:
            attrs = [a for a in attrs if a.access == "ReadWrite"]
        verb = "set" if setting else "get"
        text = ("%s the value of a %s attribute of the driver, a measurement or a marker. The attribute's COM "
                "property is %s; with Simulate on the driver answers from its simulated values."
                % ("Sets" if setting else "Reads", ctype, "set" if setting else "read"))
        out = (self.head(export.name, "%s a %s attribute" % (verb, ctype)) +
               self.synopsis(self.prototype(export)) + [".SH DESCRIPTION"] + paragraphs(text) +
               self.parameters([(a.name, PARAM_WORDS[a.name]) for a in export.c_args]))
        if attrs:
            out += [".SH ATTRIBUTES", "Type, access, COM property and the command texts of each:"]
            for attr in attrs:
                out += entry(attr.constant, attribute_summary(self.model, attr))
        return (out + self.statuses("E_IVI_NOT_INITIALIZED %s %s E_IVI_UNEXPECTED_RESPONSE E_ZENTRAVA_MODEL_NOT_SUPPORTED"
                                    % (SELECTOR_ERRORS, IO_ERRORS), ACCESSOR_STATUSES) +
                see_also(e.name for e in self.model.exports.values() if e.group == "accessor" and e != export))

    def name_page(self, export):
        what = "marker" if "Marker" in export.name else "measurement"
        text = ("Returns the name of the %s at Index in %s.%s, for use in a repeated-capability selector."
                % (what, export.interface, export.member))
        return (self.head(export.name, "get the name of a %s" % what) + self.synopsis(self.prototype(export)) +
                [".SH DESCRIPTION"] + paragraphs(text) +
                self.parameters([(a.name, PARAM_WORDS[a.name]) for a in export.c_args]) +
                self.statuses("E_IVI_NOT_INITIALIZED E_IVI_INVALID_VALUE E_ZENTRAVA_MODEL_NOT_SUPPORTED") +
                see_also(n for n in self.by_interface[export.interface] if n != export.name))

    def io_page(self, export):
        write = export.name == "Ztv_SystemWrite"
        text = ("%s through the session's formatted I/O (%s.%s), bypassing the driver's attributes."
                % ("Writes a command text to the instrument" if write else "Reads the instrument's reply",
                   export.interface, export.member))
        return (self.head(export.name, "write a command to the instrument" if write else
                          "read a reply from the instrument") + self.synopsis(self.prototype(export)) +
                [".SH DESCRIPTION"] + paragraphs(text) +
                self.parameters([(a.name, PARAM_WORDS[a.name]) for a in export.c_args]) +
                self.statuses("E_IVI_NOT_INITIALIZED E_ZENTRAVA_IO_GENERAL E_ZENTRAVA_IO_TIMEOUT") +
                see_also(["Ztv_SystemRead" if write else "Ztv_SystemWrite", "Ztv_WaitForServiceRequest"]))

    def register_page(self, export):
        return self.method_page(export)

    def method_page(self, export):
        member = self.model.member("%s.%s" % (export.interface, export.member))
        com = "%s.%s" % (export.interface, export.member)
        if member.kind == "method":
            summary = "call %s" % com
            text = "Calls %s of the %s." % (com, self.owner(export.depth))
        else:
            verb = "set" if export.args[-1].c_args[-1].direction == "in" else "get"
            summary = "%s %s" % (verb, com)
            text = "%s the indexed property %s of the %s." % ("Sets" if verb == "set" else "Reads", com,
                                                             self.owner(export.depth))
        text += " Command texts: %s." % member_commands(self.model, export)
        text += " Models: %s." % MODEL_WORDS[member.models]
        if member.custom:
            text += " The driver builds the command from the arguments."
        text += ("\n.\nWith Simulate on nothing is sent: the function succeeds without effect and outputs "
                 "simulated values.")
        params = [("Vi", PARAM_WORDS["Vi"])]
        if export.depth > 0:
            params.append(("RepCapIdentifier", SELECTOR_WORDS[export.depth]))
        types = {p.name: p.type for p in member.params + member.indices}
        for arg in export.args:
            words = KIND_WORDS[arg.kind]
            for c in arg.c_args:
                text_of = words.get(c.name, words.get(None))
                enum = self.model.enums.get(types.get(arg.param))
                if enum is not None:
                    text_of = "one of %s." % ", ".join(v.constant for v in enum.values)
                params.append((c.name, text_of))
        statuses = "E_IVI_NOT_INITIALIZED E_IVI_NULL_POINTER " + IO_ERRORS
        if export.depth > 0:
            statuses += " " + SELECTOR_ERRORS
        if member.models != "both":
            statuses += " E_ZENTRAVA_MODEL_NOT_SUPPORTED"
        if any(a.kind.endswith("out") for a in export.args):
            statuses += " E_IVI_UNEXPECTED_RESPONSE"
        if any(p.type in self.model.enums for p in member.params + member.indices):
            statuses += " E_IVI_INVALID_VALUE"
        return (self.head(export.name, summary) + self.synopsis(self.prototype(export)) + [".SH DESCRIPTION"] +
                paragraphs(text) + self.parameters(params) + self.statuses(statuses) +
                see_also(n for n in self.by_interface[export.interface] if n != export.name))

    @staticmethod
    def owner(depth):
        return ["driver object", "measurement the selector names", "marker the selector names"][depth]

    def overview(self):
        groups = [("Sessions, errors and utility", "session"), ("Attribute accessors", "accessor"),
                  ("Repeated-capability names", "name"), ("Direct I/O", "io"),
                  ("Indexed properties", "register"), ("Methods of the object model", "method")]
        out = ['.TH zentrava 3 "" "Zentrava %s" "Zentrava C interface"' % self.version, ".ad l", ".nh", ".SH NAME",
               "zentrava \\- C interface of the driver for the Q7310A and Q7310B signal source analyzers",
               ".SH SYNOPSIS", ".nf", ".B #include <zentrava/Zentrava.h>", ".fi", ".PP", "Link with",
               ".BR \"pkg-config \\-\\-cflags \\-\\-libs zentrava\" ."]
        out += [".SH DESCRIPTION"] + paragraphs(
            "The library programs the instrument over a VISA resource (LAN, USB, GPIB, serial) in IVI-C style. "
            "Ztv_init or Ztv_InitWithOptions opens a session; every other function takes it as Vi and returns "
            "a ViStatus: 0 on success, a positive warning or a negative error, whose text Ztv_GetError gives. "
            "Ztv_close ends the session.\n.\n"
            "Settings and readings are attributes: the accessors Ztv_GetAttributeViInt32, "
            "Ztv_GetAttributeViReal64, Ztv_GetAttributeViBoolean, Ztv_GetAttributeViString and their Set "
            "counterparts take a ZTV_ATTR_ constant; values of enumerated attributes are ZTV_VAL_ constants. "
            "Attributes and functions of a measurement or marker take a repeated-capability selector "
            "(\"Measurement1\" or \"Measurement1,Marker2\"). Each function calls one member of the driver's COM "
            "object model, whose command texts its page lists.\n.\n"
            "The option string \"Simulate=1\" runs every function without an instrument.")
        out += [".SH FUNCTIONS"]
        for title, group in groups:
            names = sorted(e.name for e in self.model.exports.values() if e.group == group)
            out += [".SS %s (%d)" % (title, len(names)), ".nf"] + names + [".fi"]
        if self.extensions:
            out += [".SS Extensions (%d)" % len(self.extensions), ".nf"] + sorted(self.extensions) + [".fi"]
        out += [".SH FILES", ".TP", ".I /usr/share/doc/libzentrava-dev/reference/",
                "the reference of every attribute, function and enumeration (share/doc/zentrava/ under the "
                "prefix of an installation from the sources).",
                ".SH SEE ALSO", ".BR ztv (1),", ".BR ztv-emulator (1),", ".BR Ztv_init (3),",
                ".BR Ztv_GetAttributeViReal64 (3)"]
        return out


def write_pages(pages, out_dir):
    os.makedirs(out_dir, exist_ok=True)
    wanted = {"zentrava.3": pages.overview()}
    for name in pages.names():
        wanted[name + ".3"] = pages.page(name)
    for stale in set(os.listdir(out_dir)) - set(wanted):
        if stale.endswith(".3"):
            os.remove(os.path.join(out_dir, stale))
    for file_name, lines in wanted.items():
        write_if_changed(os.path.join(out_dir, file_name), "\n".join(lines) + "\n")


def main():
    parser = model_options(__doc__)
    parser.add_argument("--source", required=True)
    parser.add_argument("--version", required=True)
    options = parser.parse_args()
    write_pages(Pages(load(options.model), options.source, options.version), options.out)


if __name__ == "__main__":
    main()
