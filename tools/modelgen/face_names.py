"""Names of the model's members in the faces generated from it (Python, native C++):
snake case after the COM names, enumerations without the Zentrava prefix and Enum suffix."""

import keyword
import re


def words(name):
    """A CamelCase name's words joined by underscores: XValue -> X_Value, SearchDomainX -> Search_Domain_X."""
    text = re.sub(r"([a-z0-9])([A-Z])", r"\1_\2", name)
    return re.sub(r"([A-Z]+)([A-Z][a-z])", r"\1_\2", text)


def snake(name):
    text = words(name).lower()
    return text + "_" if keyword.iskeyword(text) else text


def enum_class_name(enum):
    return re.sub(r"Enum$", "", re.sub(r"^Zentrava", "", enum.name))


def enum_member_name(enum, value):
    """ZentravaTriggerSlopePositive -> POSITIVE; a number first takes the type's last word:
    ZentravaFrequencyBand1 -> BAND_1, ZentravaFrequencyRange_80MHz -> RANGE_80_MHZ."""
    base = re.sub(r"Enum$", "", enum.name)
    rest = value.name[len(base):] if value.name.startswith(base) and value.name != base else value.name
    rest = re.sub(r"([kKMG])Hz", r"\1hz", rest)  # a unit stays one word
    name = snake(rest).upper().strip("_")
    if name[0].isdigit():
        name = re.findall(r"[A-Z][a-z]*", base)[-1].upper() + "_" + name
    return name
