#!/usr/bin/env bash
# Regenerates data/coastline-nw-europe.bin, the land the chart window draws,
# from the Natural Earth 1:10m land polygons (public domain) as the npm
# package world-atlas 2.0.2 (ISC licence) redistributes them in TopoJSON
# (land-10m.json), decoded with topojson-client 3.1.0 (ISC licence).
#
# Needs node and npm and the npm registry; the program itself needs neither:
# the generated file is committed. Writes the same bytes for the same
# package versions.
#
# Every ring is unwrapped across the antimeridian and clipped to the box of the chains' region, 35°W to 40°E and
# 40°N to 75°N, on the grid of the source (1e5 steps around the world:
# 0.0036° of longitude, 0.00169° of latitude). The file format is in
# data/README.md and chart/coastline.hpp.
#   tools/make-coastline.sh [output]   (default data/coastline-nw-europe.bin)
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-data/coastline-nw-europe.bin}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
(cd "$work" && npm init -y >/dev/null &&
  npm install --no-audit --no-fund --silent world-atlas@2.0.2 topojson-client@3.1.0)
mkdir -p "$(dirname "$out")"
NODE_PATH="$work/node_modules" node - "$out" <<'EOF'
const fs = require("fs");
const topojson = require("topojson-client");
const topology = require("world-atlas/land-10m.json");

const box = { lonMin: -35, latMin: 40, lonMax: 40, latMax: 75 };
const [sx, sy] = topology.transform.scale;
const [tx, ty] = topology.transform.translate;

// Sutherland-Hodgman against one side of the box; `inside` and `cut` work
// in degrees, the output is rounded back to the source grid afterwards.
function clipSide(ring, inside, cut) {
  const out = [];
  for (let i = 0; i < ring.length; i++) {
    const p = ring[i];
    const q = ring[(i + 1) % ring.length];
    const pin = inside(p);
    const qin = inside(q);
    if (pin) out.push(p);
    if (pin !== qin) out.push(cut(p, q));
  }
  return out;
}
const at = (p, q, t) => [p[0] + (q[0] - p[0]) * t, p[1] + (q[1] - p[1]) * t];
const sides = [
  [(p) => p[0] >= box.lonMin, (p, q) => at(p, q, (box.lonMin - p[0]) / (q[0] - p[0]))],
  [(p) => p[0] <= box.lonMax, (p, q) => at(p, q, (box.lonMax - p[0]) / (q[0] - p[0]))],
  [(p) => p[1] >= box.latMin, (p, q) => at(p, q, (box.latMin - p[1]) / (q[1] - p[1]))],
  [(p) => p[1] <= box.latMax, (p, q) => at(p, q, (box.latMax - p[1]) / (q[1] - p[1]))],
];

const land = topojson.feature(topology, topology.objects.land);
const rings = [];
for (const feature of land.features) {
  const polys = feature.geometry.type === "Polygon" ? [feature.geometry.coordinates]
                                                    : feature.geometry.coordinates;
  for (const poly of polys) {
    for (const source of poly) {
      // A ring that crosses the antimeridian jumps 360° of longitude there;
      // unwrapped, it is a plain polygon in longitude and latitude. Only a
      // ring around a pole (Antarctica) does not come back, and it lies
      // outside the box anyway.
      let shift = 0;
      let ring = source.map((p, i) => {
        if (i > 0) {
          const jump = p[0] - source[i - 1][0];
          if (jump > 180) shift -= 360;
          if (jump < -180) shift += 360;
        }
        return [p[0] + shift, p[1]];
      });
      if (shift !== 0) continue;
      ring.pop();  // GeoJSON repeats the first point last
      // Unwrapping may have moved the ring a turn west or east: back to
      // where most of it lies within ±180°.
      const mean = ring.reduce((sum, p) => sum + p[0], 0) / ring.length;
      const turn = mean > 180 ? -360 : (mean < -180 ? 360 : 0);
      ring = ring.map((p) => [p[0] + turn, p[1]]);
      for (const [inside, cut] of sides) ring = clipSide(ring, inside, cut);
      const grid = [];
      for (const [lon, lat] of ring) {
        const g = [Math.round((lon - tx) / sx), Math.round((lat - ty) / sy)];
        const last = grid[grid.length - 1];
        if (!last || last[0] !== g[0] || last[1] !== g[1]) grid.push(g);
      }
      while (grid.length > 1 && grid[0][0] === grid[grid.length - 1][0] &&
             grid[0][1] === grid[grid.length - 1][1]) grid.pop();
      if (grid.length >= 3) rings.push(grid);
    }
  }
}

const bytes = [];
const varint = (v) => {
  while (v >= 0x80) { bytes.push((v & 0x7f) | 0x80); v = Math.floor(v / 128); }
  bytes.push(v);
};
const zigzag = (v) => varint(v >= 0 ? 2 * v : -2 * v - 1);
const doubles = Buffer.alloc(64);
[box.lonMin, box.latMin, box.lonMax, box.latMax, tx, ty, sx, sy].forEach(
    (v, i) => doubles.writeDoubleLE(v, 8 * i));
varint(rings.length);
let points = 0;
for (const ring of rings) {
  varint(ring.length);
  let prev = [0, 0];
  for (const g of ring) {
    zigzag(g[0] - prev[0]);
    zigzag(g[1] - prev[1]);
    prev = g;
  }
  points += ring.length;
}
const file = Buffer.concat([Buffer.from("KSTCOAST"), doubles, Buffer.from(bytes)]);
fs.writeFileSync(process.argv[2], file);
console.log(`${process.argv[2]}: ${rings.length} rings, ${points} points, ${file.length} bytes`);
EOF
