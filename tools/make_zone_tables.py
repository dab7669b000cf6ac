#!/usr/bin/env python3
"""Writes the compiled-in zone tables from public data.

Inputs (Debian packages tzdata and unicode-cldr-core):
  /usr/share/zoneinfo/tzdata.zi                                 zones (Z) and links (L)
  /usr/share/unicode/cldr/common/supplemental/windowsZones.xml  Windows key -> IANA zones

Outputs (committed, so that building needs neither package):
  platform/timezone/WindowsZoneData.cpp   one row per Windows zone key, and IANA name -> key
  ical/timezone/ZoneAliasLines.cpp        the Olson alias lines, ids 13001 onwards

Usage: python3 tools/make_zone_tables.py [--tzdata FILE] [--cldr FILE] [--root DIR]
"""
import argparse
import os
import re
import sys
import xml.etree.ElementTree as ET

FIRST_ALIAS_ID = 13001

# Rows whose text is fixed, at fixed ids. Fields are separated by TAB.
PINNED_ROWS = {
    13001: ["UTC", "Universal Time Coordinated", "Coordinated Universal Time", "Universal", "Etc/GMT",
            "Etc/GMT+0", "Etc/UCT", "Etc/Universal", "Etc/UTC", "Zulu", "Etc/Zulu", "UCT", "GMT",
            "Greenwich Mean Time", "GMT+0", "GMT0", "GMT-0", "Greenwich", "GMT Daylight Time",
            "GMT Standard Time"],
    13002: ["Europe/London", "Europe/Belfast", "Europe/Guernsey", "Europe/Isle_of_Man", "Europe/Jersey",
            "GB", "GB-Eire"],
    13004: ["Atlantic/Azores", "Azores Daylight Time", "Azores Standard Time"],
    13150: ["America/Tijuana", "America/Ensenada", "Mexico/BajaNorte", "Pacific Daylight Time (Mexico)",
            "Pacific Standard Time (Mexico)"],
    13153: ["America/Los_Angeles", "PST8PDT", "US/Pacific", "US/Pacific-New", "Pacific Daylight Time",
            "Pacific Standard Time"],
    13387: ["America/Scoresbysund"],
}

# The POSIX-style legacy names. Debian builds them as zones of their own; upstream's backward
# file links each to the zone below, which is the line they join.
POSIX_STYLE_LINKS = {
    "CET": "Europe/Brussels", "CST6CDT": "America/Chicago", "EET": "Europe/Athens",
    "EST": "America/Panama", "EST5EDT": "America/New_York", "HST": "Pacific/Honolulu",
    "MET": "Europe/Brussels", "MST": "America/Phoenix", "MST7MDT": "America/Denver",
    "PST8PDT": "America/Los_Angeles", "WET": "Europe/Lisbon",
}
SKIPPED_ZONES = {"Factory"}


def parse_offset(text):
    """'-0:16:8' -> seconds east of UTC."""
    sign = -1 if text.startswith("-") else 1
    parts = [int(p) for p in text.lstrip("+-").split(":")]
    while len(parts) < 3:
        parts.append(0)
    return sign * (parts[0] * 3600 + parts[1] * 60 + parts[2])


def read_tzdata(path):
    """Zones with the offset of their present line, links (name -> target), each zone's present
    rule set ('-' for none), the rules still in force, and each zone's standard offset: its line's offset, less the winter
    save of a rule set that moves the clocks back for the winter (Europe/Dublin's line is IST)."""
    zones, links, rules = {}, {}, {}
    negative_saves = {}
    current_rules = []  # (rule set, whether the rule moves the clocks) of the rules still in force
    current = None
    with open(path, encoding="utf-8") as f:
        for raw in f:
            line = raw.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            fields = line.split()
            if fields[0] == "Z":
                current = fields[1]
                zones[current] = parse_offset(fields[2])
                rules[current] = fields[3]
            elif fields[0] == "L":
                links[fields[2]] = fields[1]
                current = None
            elif fields[0] == "R":
                current = None
                save = parse_offset(fields[8].rstrip("sdu"))
                if fields[3] == "ma":
                    current_rules.append((fields[1], save != 0))
                    if save < 0:
                        negative_saves[fields[1]] = min(save, negative_saves.get(fields[1], 0))
            elif current is not None:
                # A continuation line: the last one of a zone holds its present offset.
                zones[current] = parse_offset(fields[0])
                rules[current] = fields[1]
    standard = {zone: offset + negative_saves.get(rules[zone], 0) for zone, offset in zones.items()}
    return zones, links, rules, current_rules, standard


def resolve(name, zones, links):
    seen = set()
    while name in links and name not in seen:
        seen.add(name)
        name = links[name]
    return name if name in zones else None


def read_windows_zones(path):
    """[(key, display comment, [(territory, [zones])])] in file order."""
    text = open(path, encoding="utf-8").read()
    body = text[text.index("<mapTimezones"):]
    result, by_key = [], {}
    comment = None
    for m in re.finditer(r'<!--\s*(.*?)\s*-->|<mapZone\s+([^>]*)/>', body, re.S):
        if m.group(1) is not None:
            comment = m.group(1)
            continue
        attrs = dict(re.findall(r'(\w+)="([^"]*)"', m.group(2)))
        key = attrs["other"]
        if key not in by_key:
            if comment is None:
                sys.exit(f"no display comment before {key}")
            by_key[key] = (key, comment, [])
            result.append(by_key[key])
            comment = None
        by_key[key][2].append((attrs["territory"], attrs["type"].split()))
    ET.fromstring(text.encode("utf-8"))  # the file must at least be well formed
    return result


def display_parts(key, comment):
    """'(UTC-07:00) La Paz, Mazatlan' -> (seconds east of UTC, 'La Paz, Mazatlan')."""
    m = re.match(r"\(UTC(?:([+-])(\d\d):(\d\d))?\)\s*(.*)", comment)
    if not m:
        sys.exit(f"{key}: unexpected display comment {comment!r}")
    if m.group(1) is None:
        return 0, m.group(4)
    sign = -1 if m.group(1) == "-" else 1
    return sign * (int(m.group(2)) * 3600 + int(m.group(3)) * 60), m.group(4)


def standing_zone(key, comment, groups, standard, links):
    """The zone that stands for a key: the one listed for the world (territory 001), unless that
    zone no longer keeps the key's offset while another zone listed for the key, whose city the
    display name names, still does. A zone that changed its offset then leaves the key to the
    others: America/Chihuahua moved to UTC-6, and "(UTC-07:00) Chihuahua, La Paz, Mazatlan"
    stayed UTC-7 with America/Mazatlan. A key whose places all moved (Astana) follows them."""
    offset, tail = display_parts(key, comment)
    main_zone = next(z[0] for t, z in groups if t == "001")
    canonical = resolve(main_zone, standard, links)
    if canonical is None:
        sys.exit(f"{key}: {main_zone} is not in the tz database")
    if standard[canonical] == offset:
        return main_zone
    for _, names in sorted(groups, key=lambda g: g[0] != "001"):
        for name in names:
            z = resolve(name, standard, links)
            city = name.rsplit("/", 1)[-1].replace("_", " ")
            if z is not None and standard[z] == offset and city in tail:
                return name
    return main_zone


def daylight_form(key):
    return key.replace("Standard Time", "Daylight Time", 1) if "Standard Time" in key else key


def cxx_u16(text):
    out = []
    for ch in text:
        if ch in '"\\':
            out.append("\\" + ch)
        elif ch == "\t":
            out.append("\\t")
        elif 32 <= ord(ch) < 127:
            out.append(ch)
        else:
            out.append("\\u%04x" % ord(ch) if ord(ch) < 0x10000 else "\\U%08x" % ord(ch))
    return 'u"' + "".join(out) + '"'


def westward(offset_seconds):
    # 0, -1h, ..., -12h, then +14h down to +1h: one trip west around the globe.
    return -offset_seconds if offset_seconds <= 0 else 48 * 3600 - offset_seconds


def build_alias_lines(zones, links, standard, windows):
    taken = set()
    for row in PINNED_ROWS.values():
        for name in row:
            if name in taken:
                sys.exit(f"{name} appears twice in the fixed rows")
            taken.add(name)

    owners = [z for z in zones if z not in SKIPPED_ZONES and z not in POSIX_STYLE_LINKS and z not in taken]
    fields = {z: [z] for z in owners}

    def owner_of(name):
        target = POSIX_STYLE_LINKS.get(name) or resolve(name, zones, links)
        return target if target in fields else None

    left_out = []
    for name in sorted(links):
        if name in taken:
            continue
        target = owner_of(name)
        if target:
            fields[target].append(name)
        else:
            left_out.append(name)
    for name in sorted(POSIX_STYLE_LINKS):
        if name not in taken:
            fields[owner_of(name)].append(name)

    for key, comment, groups in windows:
        forms = [daylight_form(key), key] if daylight_form(key) != key else [key]
        if all(f in taken for f in forms):
            continue
        if any(f in taken for f in forms):
            sys.exit(f"{key}: only some of its forms are in the fixed rows")
        main_zone = standing_zone(key, comment, groups, standard, links)
        target = owner_of(main_zone)
        if target is None:
            sys.exit(f"{key}: its zone {main_zone} has no line of its own")
        fields[target].extend(forms)

    order = sorted(owners, key=lambda z: (westward(zones[z]), z))
    slots = {}
    next_id = FIRST_ALIAS_ID
    for zone in order:
        while next_id in PINNED_ROWS:
            next_id += 1
        slots[next_id] = fields[zone]
        next_id += 1
    last = max(max(PINNED_ROWS), next_id - 1)
    for rid, row in PINNED_ROWS.items():
        slots[rid] = row
    missing = [i for i in range(FIRST_ALIAS_ID, last + 1) if i not in slots]
    if missing:
        sys.exit(f"too few zones to fill the ids {missing[:5]}...")
    if left_out:
        print("links to fixed rows that those rows do not name: " + ", ".join(left_out), file=sys.stderr)
    return [slots[i] for i in range(FIRST_ALIAS_ID, last + 1)]


def build_windows_rows(zones, links, rules, current_rules, standard, windows):
    rows, name_to_key = [], {}
    # Whether a zone's present rules still move its clocks for the summer.
    summer = {z: any(r[0] == rules[z] and r[1] for r in current_rules) for z in zones}
    standing = {}
    left = []  # (zone, territory) of zones that no longer keep the offset of the key listing them
    for key, comment, groups in windows:
        offset, tail = display_parts(key, comment)
        main_zone = standing_zone(key, comment, groups, standard, links)
        canonical = resolve(main_zone, zones, links)
        standing[key] = canonical
        rows.append({
            "key": key, "zone": main_zone, "tail": tail, "plain_utc": comment.startswith("(UTC)"),
            "std": key, "dlt": daylight_form(key), "bias": -zones[canonical] // 60,
        })
        for territory, names in sorted(groups, key=lambda g: g[0] != "001"):
            for name in names:
                z = resolve(name, zones, links)
                if z is None or z in name_to_key:
                    continue
                if standard[z] not in (standard[canonical], offset):
                    left.append((z, territory))
                    continue
                name_to_key[z] = key
    # A zone that left its key joins the first key whose zone now keeps its offset, and like it
    # has summer time or has none; one listed for the same territory first (America/Chihuahua:
    # Central Standard Time (Mexico), America/Ojinaga: Central Standard Time).
    territories = {key: {t for t, _ in groups} for key, _, groups in windows}
    for z, territory in sorted(left, key=lambda entry: entry[1] == "001"):
        if z in name_to_key:
            continue
        fits = [key for key, _, _ in windows
                if standard[standing[key]] == standard[z] and summer[standing[key]] == summer[z]]
        fits.sort(key=lambda k: territory not in territories[k])
        if fits:
            name_to_key[z] = fits[0]
    for key, _, _ in windows:
        if len(key) > 31 or len(daylight_form(key)) > 31:
            sys.exit(f"{key}: longer than a zone name may be")
    # Every name of the database that leads to a mapped zone gets the zone's key.
    full = {}
    for name in list(zones) + list(links):
        z = resolve(name, zones, links)
        if z in name_to_key:
            full[name] = name_to_key[z]
    return rows, full


HEADER = "// Generated by tools/make_zone_tables.py from tzdata {tz} and CLDR windowsZones. Do not edit.\n"


def write_windows_data(path, rows, name_to_key, tz_version):
    with open(path, "w", encoding="utf-8") as f:
        f.write(HEADER.format(tz=tz_version))
        f.write('#include "platform/timezone/WindowsZoneData.h"\n\nnamespace platform {\n\n')
        f.write("const WindowsZoneDefinition kWindowsZoneDefinitions[] = {\n")
        for r in rows:
            f.write("    {%s, \"%s\", %s, %s, %s, %s, %d},\n" % (
                cxx_u16(r["key"]), r["zone"], cxx_u16(r["tail"]), "true" if r["plain_utc"] else "false",
                cxx_u16(r["std"]), cxx_u16(r["dlt"]), r["bias"]))
        f.write("};\nconst int kWindowsZoneDefinitionCount = %d;\n\n" % len(rows))
        f.write("// Sorted by name (bytewise) for binary search.\n")
        f.write("const ZoneNameKey kZoneNameKeys[] = {\n")
        for name in sorted(name_to_key):
            f.write("    {\"%s\", %s},\n" % (name, cxx_u16(name_to_key[name])))
        f.write("};\nconst int kZoneNameKeyCount = %d;\n\n}  // namespace platform\n" % len(name_to_key))


def write_alias_lines(path, lines, tz_version):
    with open(path, "w", encoding="utf-8") as f:
        f.write(HEADER.format(tz=tz_version))
        f.write('#include "ical/timezone/ZoneAliasLines.h"\n\n')
        f.write("// Entry i has the id kFirstZoneAliasId + i; fields are separated by TAB.\n")
        f.write("const char16_t* const kZoneAliasLineTexts[] = {\n")
        for i, fields in enumerate(lines):
            f.write("    /* %d */ %s,\n" % (FIRST_ALIAS_ID + i, cxx_u16("\t".join(fields))))
        f.write("};\nconst int kZoneAliasLineCount = %d;\n" % len(lines))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tzdata", default="/usr/share/zoneinfo/tzdata.zi")
    parser.add_argument("--cldr", default="/usr/share/unicode/cldr/common/supplemental/windowsZones.xml")
    parser.add_argument("--root", default=os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
    args = parser.parse_args()

    first = open(args.tzdata, encoding="utf-8").readline()
    tz_version = first.split()[-1] if first.startswith("# version") else "unknown"
    zones, links, rules, current_rules, standard = read_tzdata(args.tzdata)
    windows = read_windows_zones(args.cldr)
    lines = build_alias_lines(zones, links, standard, windows)
    rows, name_to_key = build_windows_rows(zones, links, rules, current_rules, standard, windows)
    write_windows_data(os.path.join(args.root, "platform/timezone/WindowsZoneData.cpp"), rows, name_to_key, tz_version)
    write_alias_lines(os.path.join(args.root, "ical/timezone/ZoneAliasLines.cpp"), lines, tz_version)
    single = sum(1 for l in lines if len(l) == 1)
    print(f"{len(rows)} Windows zones, {len(name_to_key)} names mapped, {len(lines)} alias lines ({single} single)")


if __name__ == "__main__":
    main()
