"""The fleet's CSV cells as the text they hold: the leading quote that kept
a formula inert taken off, the escapes of control characters, bytes that
are no UTF-8 and the backslash undone. Shared by the browser and the
spreadsheet tests."""


def cell_bytes(cell):
    cell = cell[1:] if cell.startswith("'") else cell
    out, i = bytearray(), 0
    while i < len(cell):
        if cell.startswith("\\x", i):
            out.append(int(cell[i + 2:i + 4], 16))
            i += 4
        elif cell.startswith("\\u", i):
            out += chr(int(cell[i + 2:i + 6], 16)).encode()
            i += 6
        elif cell.startswith("\\\\", i):
            out += b"\\"
            i += 2
        else:
            out += cell[i].encode()
            i += 1
    return bytes(out)
