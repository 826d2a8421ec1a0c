"""A .vtu of one piece read one data array at a time, keeping only the arrays asked for.

meshio reads a .vtu whole, its text and every array at once: several times the size of the
stresses at the peak. Here the XML is parsed incrementally and each data array is decoded by
meshio's own decoder and dropped from the tree at once. Files this does not cover (several
pieces, appended data) raise NotStreamable and are read by meshio.read.
"""
import types
import xml.etree.ElementTree as ET

import numpy as np


class NotStreamable(Exception):
    pass


def read_vtu(path, keep_point_data):
    """A meshio.Mesh; point data only where keep_point_data(name, components) says so. Also
    returns the names of every point-data array of the file."""
    import meshio
    from meshio.vtu import _vtu
    decoder = types.SimpleNamespace(compression=None, header_type="UInt32", byte_order=None,
                                    appended_data=None)
    for method in ("read_uncompressed_binary", "read_compressed_binary"):
        setattr(decoder, method, types.MethodType(getattr(_vtu.VtuReader, method), decoder))
    stack, pieces = [], 0
    points, cells, point_data, cell_data, field_data, names = None, {}, {}, {}, {}, []
    for event, elem in ET.iterparse(path, events=("start", "end")):
        if event == "start":
            if elem.tag == "VTKFile":
                if elem.attrib.get("type") != "UnstructuredGrid":
                    raise NotStreamable()
                decoder.compression = elem.attrib.get("compressor")
                decoder.header_type = elem.attrib.get("header_type", "UInt32")
                decoder.byte_order = elem.attrib.get("byte_order")
            elif elem.tag == "AppendedData" or (elem.tag == "Piece" and pieces):
                raise NotStreamable()
            elif elem.tag == "Piece":
                pieces = 1
            stack.append(elem.tag)
            continue
        stack.pop()
        if elem.tag != "DataArray":
            continue
        section, name = stack[-1], elem.attrib.get("Name", "")
        components = int(elem.attrib.get("NumberOfComponents") or 1)
        if elem.attrib.get("format") == "appended":
            raise NotStreamable()
        if section == "PointData":
            names.append(name)
            if not keep_point_data(name, components):
                elem.clear()
                continue
        data = _vtu.VtuReader.read_data(decoder, elem)
        elem.clear()
        if section == "Points":
            points = data.reshape(-1, components)
        elif section == "Cells":
            cells[name] = data
        elif section == "PointData":
            point_data[name] = data
        elif section == "CellData":
            cell_data[name] = data
        elif section == "FieldData":
            field_data[name] = data
    if points is None or not {"connectivity", "offsets", "types"} <= set(cells):
        raise NotStreamable()
    out_cells, out_cell_data = _vtu._organize_cells(np.array([0]), [cells], [cell_data])
    mesh = meshio.Mesh(points, out_cells, point_data=point_data, cell_data=out_cell_data,
                       field_data=field_data)
    return mesh, names
