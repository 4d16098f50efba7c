#!/usr/bin/env python3
"""Writes the built seeds of fuzz/corpus: packets and images in the shapes that real files have, so that the
fuzzers start where real files are. Run from anywhere; it rewrites only the files it names."""

import hashlib
import pathlib
import struct

CORPUS = pathlib.Path(__file__).resolve().parent / "corpus"

RDF = "http://www.w3.org/1999/02/22-rdf-syntax-ns#"
NAMESPACES = {
    "dc": "http://purl.org/dc/elements/1.1/",
    "photoshop": "http://ns.adobe.com/photoshop/1.0/",
    "xmp": "http://ns.adobe.com/xap/1.0/",
    "xmpMM": "http://ns.adobe.com/xap/1.0/mm/",
    "stEvt": "http://ns.adobe.com/xap/1.0/sType/ResourceEvent#",
    "tiff": "http://ns.adobe.com/tiff/1.0/",
    "exif": "http://ns.adobe.com/exif/1.0/",
    "crs": "http://ns.adobe.com/camera-raw-settings/1.0/",
    "Iptc4xmpCore": "http://iptc.org/std/Iptc4xmpCore/1.0/xmlns/",
    "aux": "http://ns.adobe.com/exif/1.0/aux/",
}


def declare(*prefixes, quote='"'):
    return " ".join(f"xmlns:{p}={quote}{NAMESPACES[p]}{quote}" for p in prefixes)


def packet(body, padding=2000, quote='"', toolkit="XMP Core 6.0.0", end="w", tail=b""):
    """A packet: the opening instruction with its BOM, x:xmpmeta and rdf:RDF around the body, the padding in
    lines of 100 blanks, the closing instruction, then `tail` (bytes some writers leave in the room)."""
    q = quote
    text = (
        f"<?xpacket begin={q}\ufeff{q} id={q}W5M0MpCehiHzreSzNTczkc9d{q}?>\n"
        f"<x:xmpmeta xmlns:x={q}adobe:ns:meta/{q} x:xmptk={q}{toolkit}{q}>\n"
        f" <rdf:RDF xmlns:rdf={q}{RDF}{q}>\n{body}\n </rdf:RDF>\n</x:xmpmeta>\n"
    )
    for done in range(0, padding, 100):
        text += " " * min(100, padding - done) + "\n"
    return (text + f"<?xpacket end={q}{end}{q}?>").encode("utf-8") + tail


# Attribute form, as current toolkits write simple properties, with arrays as elements.
ATTRIBUTE_FORM = packet(
    f'  <rdf:Description rdf:about="" {declare("xmp", "photoshop", "dc", "xmpMM", "stEvt")}\n'
    '    xmp:CreatorTool="Camera Firmware 1.2" xmp:CreateDate="2026-03-14T09:12:44+01:00"\n'
    '    photoshop:City="Orl\u00e9ans" photoshop:Country="France" photoshop:DateCreated="2026-03-14"\n'
    '    photoshop:Headline="March &amp; rally" photoshop:AuthorsPosition="Staff"\n'
    '    xmpMM:DocumentID="xmp.did:5c0b1e7a" xmpMM:InstanceID="xmp.iid:5c0b1e7a">\n'
    '   <dc:title><rdf:Alt><rdf:li xml:lang="x-default">Vue d\u2019\u00e9t\u00e9</rdf:li>'
    '<rdf:li xml:lang="fr">Vue</rdf:li></rdf:Alt></dc:title>\n'
    '   <dc:subject><rdf:Bag><rdf:li>\u00e9t\u00e9</rdf:li><rdf:li>plage</rdf:li></rdf:Bag></dc:subject>\n'
    '   <xmpMM:History><rdf:Seq><rdf:li stEvt:action="created" stEvt:when="2026-03-14T09:12:44+01:00"/>'
    '<rdf:li stEvt:action="saved" stEvt:changed="/metadata"/></rdf:Seq></xmpMM:History>\n'
    "  </rdf:Description>"
)

# One description per namespace, elements only, single quotes: the layout of a metadata tool.
TOOL_LAYOUT = packet(
    f"<rdf:Description rdf:about='' {declare('dc', quote=chr(39))}>\n"
    "  <dc:creator><rdf:Seq><rdf:li>Anne</rdf:li></rdf:Seq></dc:creator>\n"
    "  <dc:description><rdf:Alt><rdf:li xml:lang='x-default'>Caf\u00e9 &lt;b&gt;</rdf:li></rdf:Alt>"
    "</dc:description>\n"
    "  <dc:rights><rdf:Alt><rdf:li xml:lang='x-default'>\u00a9 Agence</rdf:li></rdf:Alt></dc:rights>\n"
    " </rdf:Description>\n"
    f" <rdf:Description rdf:about='' {declare('photoshop', quote=chr(39))}>\n"
    "  <photoshop:City>S\u00e8te</photoshop:City>\n"
    "  <photoshop:SupplementalCategories><rdf:Bag><rdf:li>SPO</rdf:li></rdf:Bag>"
    "</photoshop:SupplementalCategories>\n"
    " </rdf:Description>",
    quote="'",
    toolkit="Image::ExifTool 12.57",
    padding=1200,
)

# Many vendor attributes on one description, among them a photoshop property in a second description: the
# shape that strict readers reject when a property is written twice.
VENDOR = packet(
    f'  <rdf:Description rdf:about="" {declare("tiff", "exif", "aux", "crs", "photoshop")}\n'
    + "".join(f'    crs:Setting{i}="{i * 7 % 100}"\n' for i in range(120))
    + '    tiff:Make="Camera" tiff:Orientation="1" exif:ExposureTime="1/250" aux:Lens="24-70mm"\n'
    '    photoshop:City="Old"/>\n'
    f'  <rdf:Description rdf:about="" {declare("photoshop", "Iptc4xmpCore")}>\n'
    "   <photoshop:City>Older</photoshop:City>\n"
    '   <Iptc4xmpCore:CreatorContactInfo Iptc4xmpCore:CiAdrCity="Paris"/>\n'
    "  </rdf:Description>",
    padding=2400,
    toolkit="Adobe XMP Core 7.0-c000",
)

# Element text that looks like attribute syntax, which must not decide the quote.
QUOTE_TRAP = packet(
    f"<rdf:Description rdf:about='' {declare('photoshop', 'dc', quote=chr(39))}>"
    '<photoshop:Instructions>u="=" v="=" w="="</photoshop:Instructions>'
    "<!-- a=\"1\" --><dc:format>image/jpeg</dc:format></rdf:Description>",
    quote="'",
    padding=300,
)

# The room padded after the closing instruction with a NUL byte, or NULs and blanks.
TRAILING_NUL = packet(f'<rdf:Description rdf:about="" {declare("photoshop")}/>', padding=100, tail=b"\0")
TRAILING_MIX = packet(f'<rdf:Description rdf:about="" {declare("dc")}/>', padding=0, tail=b"\0\0  \n\0")


# The smallest packets that synchronisation used to change at every pass: a keyword bag in a description
# that also takes a new photoshop property (the bag moved behind it), and a description whose dc prefix stands
# for another name (a foreign dc:title was appended each time).
SHARED_DESCRIPTION = packet(
    f"<rdf:Description rdf:about='' {declare('dc', 'photoshop', quote=chr(39))}>"
    "<dc:subject><rdf:Bag><rdf:li>kw</rdf:li></rdf:Bag></dc:subject></rdf:Description>",
    quote="'",
    padding=200,
)
FOREIGN_DC = packet("<rdf:Description rdf:about='' xmlns:dc='http://example.com/dc/'/>", quote="'", padding=200)
# Namespaces declared around the descriptions and bound otherwise in them: the first rebinds dc and dc1, so a
# new title declares dc2 itself; the second has Photoshop as its default namespace only, so a new City declares
# the photoshop prefix itself.
SHADOWED = packet(
    "<rdf:Description rdf:about='' xmlns:dc='http://example.com/dc/' xmlns:dc1='http://example.com/dc1/'>"
    "<dc:title>foreign</dc:title></rdf:Description>\n"
    f"<rdf:Description rdf:about='' xmlns='{NAMESPACES['photoshop']}'/>",
    quote="'",
    padding=400,
).replace(b"<rdf:RDF ", f"<rdf:RDF {declare('dc', quote=chr(39))} ".encode())


def sync_seed(fields, body):
    """xmp_sync's input: the first byte (odd: the values are UTF-8), the '|'-separated values, 0xFF, the packet."""
    return fields + b"\xff" + body


def u16(value):
    return struct.pack(">H", value)


def segment(marker, payload):
    return b"\xff" + bytes([marker]) + u16(len(payload) + 2) + payload


def iptc(datasets):
    return b"".join(b"\x1c" + bytes([r, n]) + u16(len(v)) + v for r, n, v in datasets)


def resource(number, data):
    out = b"8BIM" + u16(number) + b"\0\0" + struct.pack(">I", len(data)) + data
    return out + b"\0" if len(data) % 2 else out


def app13(resources):
    return segment(0xED, b"Photoshop 3.0\0" + resources)


def app1_xmp(body):
    return segment(0xE1, b"http://ns.adobe.com/xap/1.0/\0" + body)


IMAGE_DATA = b"\xff\xda\x00\x0c\x03\x01\x00\x02\x11\x03\x11\x00\x3f\x00\x8e\x88\xff\x00\x1c\x02\xff\xd9"


def jpeg(*segments):
    return b"\xff\xd8" + b"".join(segments) + IMAGE_DATA


MAC_IPTC = iptc([(1, 90, b"\x1b%A"), (2, 5, b"Vue d'\x88t\x8e"), (2, 25, b"\x8et\x8e"), (2, 25, b"plage"),
                 (2, 90, b"Orl\x8eans"), (2, 85, b"Staff"), (2, 85, b"Photo"), (2, 122, b"Anne"),
                 (2, 122, b"Bruno"), (2, 120, b"Caf\x8e \x01\x02 ctrl")])
UTF8_IPTC = iptc([(1, 90, b"\x1b%G"), (2, 120, "l\u2019\u00e9t\u00e9".encode()), (2, 90, "S\u00e8te".encode())])
DIGESTED = app13(resource(0x0404, MAC_IPTC) + resource(0x0425, hashlib.md5(MAC_IPTC).digest()))

SEEDS = {
    "xmp_sync": {
        "attribute_form": sync_seed(b"\x00|Anne||\xa9 Agence|w1; w2|SPO|20260314|Orl\xe9ans|||||||5|Staff; Photo|k|ab",
                                    ATTRIBUTE_FORM),
        "tool_layout": sync_seed(b"\x00t|Anne; Bruno|c|r||||S\xe8te", TOOL_LAYOUT),
        "vendor_attributes": sync_seed(b"\x01||||||||Paris", VENDOR),
        "quote_trap": sync_seed(b"\x00||||||||||||||i=\"=\"", QUOTE_TRAP),
        "trailing_nul": sync_seed(b"\x00||||||||Paris", TRAILING_NUL),
        "trailing_nul_and_blanks": sync_seed(b"\x00t", TRAILING_MIX),
        # City Paris and the keyword "kw" (an entry of even length is a keyword); the title T.
        "bag_behind_new_property": sync_seed(b"\x00|||||||Paris" + b"|" * 9 + b"|kw", SHARED_DESCRIPTION),
        "foreign_dc_prefix": sync_seed(b"\x00T", FOREIGN_DC),
        "shadowed_prefixes": sync_seed(b"\x00T|||||||Paris||||||||||kw", SHADOWED),
    },
    "process_image": {
        # The first byte: the accent table (bits 0-1), synchronise (4), remove (8), the run's document (16).
        "digest_attribute_form": b"\x14" + jpeg(DIGESTED, app1_xmp(ATTRIBUTE_FORM)),
        "tool_layout_remove": b"\x1c" + jpeg(app13(resource(0x0404, MAC_IPTC)), app1_xmp(TOOL_LAYOUT)),
        "vendor_attributes": b"\x15" + jpeg(app13(resource(0x0404, UTF8_IPTC)), app1_xmp(VENDOR)),
        "trailing_nul": b"\x14" + jpeg(app13(resource(0x0404, MAC_IPTC)), app1_xmp(TRAILING_MIX)),
        "short_segment": b"\x1c" + jpeg(segment(0xE1, b"http://ns.adobe.com/xap/1.0/\0<?xp")
                                        + b"acket begin='' id='W5M0MpCehiHzreSzNTczkc9d'?>"),
        "whole_file_trailing_nul": b"\x14" + b"8BPS" + b"-" * 29 + TRAILING_NUL + b"\0\0\0\0",
        "bag_behind_new_property": b"\x07" + jpeg(app13(resource(0x0404, iptc([(2, 25, b"kw"), (2, 90, b"Paris")]))),
                                                  app1_xmp(SHARED_DESCRIPTION)),
        "foreign_dc_prefix": b"\x07" + jpeg(app13(resource(0x0404, iptc([(2, 5, b"T")]))), app1_xmp(FOREIGN_DC)),
        "shadowed_prefixes": b"\x07" + jpeg(app13(resource(0x0404, iptc([(2, 5, b"T"), (2, 25, b"kw"), (2, 90, b"Paris")]))),
                                            app1_xmp(SHADOWED)),
    },
    "iptc_walk": {
        "digest": b"\xff\xd8" + DIGESTED + IMAGE_DATA,
    },
}

for target, seeds in SEEDS.items():
    for name, data in seeds.items():
        (CORPUS / target / name).write_bytes(data)
