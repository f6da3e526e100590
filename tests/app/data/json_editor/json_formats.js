// Map editor script extension for the JSON fixtures: export formats that write the editor's
// JSON with a chosen layer data format, and one that makes an infinite map fixed over the
// area of its chunks (16 x 16 tiles each), as unticking "Infinite" and resizing would.
// Install: cp json_formats.js ~/.config/tiled/extensions/
function reread(map, fileName) {
  var tmx = tiled.mapFormat("tmx");
  var err = tmx.write(map, fileName);  // the map handed in is read-only: work on a copy
  if (err) throw new Error("tmx.write: " + err);
  return tmx.read(fileName);
}

function jsonFormat(id, fmt) {
  tiled.registerMapFormat(id, {
    name: "JSON map, " + id, extension: "tmj",
    write: function (map, fileName) {
      var copy = reread(map, fileName);
      copy.layerDataFormat = fmt;
      var err = tiled.mapFormat("json").write(copy, fileName);
      return err ? "json.write: " + err : undefined;
    }
  });
}
jsonFormat("json-array", TileMap.CSV);
jsonFormat("json-b64", TileMap.Base64);
jsonFormat("json-zlib", TileMap.Base64Zlib);
jsonFormat("json-gzip", TileMap.Base64Gzip);
jsonFormat("json-zstd", TileMap.Base64Zstandard);

tiled.registerMapFormat("tmx-fixed", {
  name: "TMX, infinite map made fixed", extension: "tmx",
  write: function (map, fileName) {
    var copy = reread(map, fileName);
    var chunk = 16, x0 = 1e9, y0 = 1e9, x1 = -1e9, y1 = -1e9;
    var tileLayers = [];
    var collect = function (layer) {
      if (layer.isGroupLayer) { for (var i = 0; i < layer.layerCount; ++i) collect(layer.layerAt(i)); return; }
      if (!layer.isTileLayer) return;
      tileLayers.push(layer);
      var b = layer.region().boundingRect;
      if (b.width == 0) return;
      x0 = Math.min(x0, Math.floor(b.x / chunk) * chunk); y0 = Math.min(y0, Math.floor(b.y / chunk) * chunk);
      x1 = Math.max(x1, Math.ceil((b.x + b.width) / chunk) * chunk); y1 = Math.max(y1, Math.ceil((b.y + b.height) / chunk) * chunk);
    };
    for (var i = 0; i < copy.layerCount; ++i) collect(copy.layerAt(i));
    var fixed = new TileMap();
    fixed.setSize(x1 - x0, y1 - y0);
    fixed.setTileSize(copy.tileWidth, copy.tileHeight);
    fixed.infinite = false;
    fixed.layerDataFormat = TileMap.CSV;
    var sets = copy.tilesets;
    for (var s = 0; s < sets.length; ++s) fixed.addTileset(sets[s]);
    for (var l = 0; l < tileLayers.length; ++l) {
      var src = tileLayers[l];
      var dst = new TileLayer(src.name);
      dst.width = x1 - x0; dst.height = y1 - y0;
      var edit = dst.edit();
      for (var y = y0; y < y1; ++y) for (var x = x0; x < x1; ++x) {
        var t = src.tileAt(x, y);
        if (t) edit.setTile(x - x0, y - y0, t, src.flagsAt(x, y));
      }
      edit.apply();
      fixed.addLayer(dst);
    }
    var err = tiled.mapFormat("tmx").write(fixed, fileName);
    return err ? "tmx.write: " + err : undefined;
  }
});
