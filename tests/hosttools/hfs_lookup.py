#!/usr/bin/env python3
"""Looks paths up in a raw HFS Plus volume the way a mounting file system does: from the catalog's root node
down through the index nodes, never by scanning the leaves. Also checks what a volume checker would: leaf keys
in order, the header's record count, and every folder's valence.

usage: hfs_lookup.py VOLUME PATH...   (PATH relative to the volume root)
Prints the volume name, the catalog depth, then per path: "PATH KIND MODE SIZE [LINK-TARGET]"."""

import struct
import sys

ROOT_FOLDER, ROOT_PARENT = 2, 1


class Volume:
    def __init__(self, data):
        self.data = data
        header = data[1024:1536]
        signature, = struct.unpack(">H", header[0:2])
        assert signature in (0x482B, 0x4858), "not an HFS Plus volume"
        self.block_size, = struct.unpack(">I", header[40:44])
        size, = struct.unpack(">Q", header[272:280])
        start, = struct.unpack(">I", header[272 + 16:272 + 20])
        self.catalog = data[start * self.block_size:start * self.block_size + size]
        tree = self.catalog[14:14 + 106]
        self.depth, self.root, self.leaf_records = struct.unpack(">HII", tree[0:10])
        self.node_size, = struct.unpack(">H", tree[18:20])

    def node(self, number):
        raw = self.catalog[number * self.node_size:(number + 1) * self.node_size]
        kind, height, count = struct.unpack(">bBH", raw[8:12])
        offsets = [struct.unpack(">H", raw[self.node_size - 2 * (i + 1):self.node_size - 2 * i])[0]
                   for i in range(count + 1)]
        return kind, [raw[offsets[i]:offsets[i + 1]] for i in range(count)]

    @staticmethod
    def key(record):
        length, parent, name_length = struct.unpack(">HIH", record[0:8])
        name = record[8:8 + 2 * name_length].decode("utf-16-be")
        return (parent, name.encode("utf-16-be")), name, record[2 + length:]

    def find(self, parent, name):
        wanted = (parent, name.encode("utf-16-be"))
        number = self.root
        while True:
            kind, records = self.node(number)
            if kind == -1:
                for record in records:
                    found, _, body = self.key(record)
                    if found == wanted:
                        return body
                return None
            below = [r for r in records if self.key(r)[0] <= wanted]
            if not below:
                return None
            number, = struct.unpack(">I", self.key(below[-1])[2][:4])

    def leaves(self):
        kind, records = self.node(self.root)
        number = self.root
        while kind != -1:
            number, = struct.unpack(">I", self.key(records[0])[2][:4])
            kind, records = self.node(number)
        while number:
            raw = self.catalog[number * self.node_size:(number + 1) * self.node_size]
            yield from self.node(number)[1]
            number, = struct.unpack(">I", raw[0:4])


def describe(volume, body):
    kind, = struct.unpack(">h", body[0:2])
    mode, = struct.unpack(">H", body[42:44])
    if kind == 1:
        return "folder", mode, 0, None
    size, = struct.unpack(">Q", body[88:96])
    start, = struct.unpack(">I", body[104:108])
    contents = volume.data[start * volume.block_size:start * volume.block_size + size]
    link = contents.decode() if body[48:56] == b"slnkrhap" else None
    return ("link" if link is not None else "file"), mode, size, link


def check(volume):
    keys, children, valences = [], {}, {}
    for record in volume.leaves():
        key, _, body = volume.key(record)
        keys.append(key)
        kind, = struct.unpack(">h", body[0:2])
        if kind in (1, 2):
            children[key[0]] = children.get(key[0], 0) + 1
        if kind == 1:
            valences[struct.unpack(">I", body[8:12])[0]] = struct.unpack(">I", body[4:8])[0]
    assert keys == sorted(keys), "leaf keys out of order"
    assert len(keys) == volume.leaf_records, "header record count is wrong"
    for folder, valence in valences.items():
        assert valence == children.get(folder, 0), f"valence of folder {folder} is wrong"


def main():
    volume = Volume(open(sys.argv[1], "rb").read())
    check(volume)
    thread = volume.find(ROOT_FOLDER, "")
    name_length, = struct.unpack(">H", thread[8:10])
    print(thread[10:10 + 2 * name_length].decode("utf-16-be"))
    print("depth", volume.depth)
    for path in sys.argv[2:]:
        parent, body = ROOT_FOLDER, None
        for part in path.split("/"):
            body = volume.find(parent, part)
            if body is None:
                break
            parent, = struct.unpack(">I", body[8:12])
        if body is None:
            print(path, "missing")
        else:
            kind, mode, size, link = describe(volume, body)
            print(path, kind, oct(mode), size, *([link] if link is not None else []))


main()
