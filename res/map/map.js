// The viewer's map page on Leaflet. The viewer drives it through three global functions:
//
//   setCenter_wgs84(lon, lat)                        centre the map on a position
//   addPoi_wgs84(id, lon, lat, label, dx, dy, kind)  place marker `id`, replacing one of that id
//   removePoi(id)                                    take marker `id` away
//
// Positions are WGS84 decimal degrees, longitude first. A non-empty `label` is written above
// the marker, moved by (dx, dy) pixels. Kind "gpspos" is the vehicle: every vehicle position
// placed also extends the track line, so the line runs through each position the viewer
// showed, in order. Each function answers true when it changed something; the viewer ignores
// the answers. A position that is not a number or lies off the globe changes nothing.
//
// The query picks the tiles: tiles=<Leaflet URL template>, attribution=<plain text>, and
// invert=1 to turn light tiles dark. Without a network the tiles fail: the marker and the line
// show on the dark ground with a small note saying the tiles are unavailable, and failed tiles
// are asked for again now and then; the note goes once a tile arrives.
//
// window.tarvexMap.state() describes what the page shows; window.tarvexMap.clearTrack()
// starts a new line (the viewer opened another recording); window.tarvexMap.restoreTrack()
// lays down [lat, lon] pairs shown before the page was loaded. window.tarvexMap.setRoute()
// draws the whole route (see below) and window.tarvexMap.pointOf(lat, lon) tells where a place
// lies on the page.
(function () {
    'use strict';

    var DEFAULT_TILES = 'https://tile.openstreetmap.org/{z}/{x}/{y}.png';
    var DEFAULT_ATTRIBUTION = '\u00a9 OpenStreetMap contributors';
    var VEHICLE_KIND = 'gpspos';
    var FIRST_FIX_ZOOM = 16;  // street level for the first position shown
    var MAX_ZOOM = 19;
    var TILE_RETRY_MS = 30000;
    var CENTRED_TOLERANCE_PX = 0.5;

    var query = new URLSearchParams(window.location.search);
    var tileUrl = query.get('tiles') || DEFAULT_TILES;
    var attribution = query.has('attribution') ? query.get('attribution') : DEFAULT_ATTRIBUTION;
    // The default tiles are light; a configured source is shown as served unless asked.
    var invertTiles = query.has('tiles') ? query.get('invert') === '1' : true;

    var map = L.map('map', {
        keyboard: false,  // the viewer's window owns the keys
        zoomControl: true,
        worldCopyJump: true
    });
    map.attributionControl.setPrefix(false);
    map.setView([20, 0], 2);
    if (invertTiles) document.body.classList.add('tiles-inverted');

    // The note in the page's language (the viewer's: the browser takes it from the locale).
    var OFFLINE_TEXT = {
        ko: '\uc9c0\ub3c4\ub97c \ubd88\ub7ec\uc62c \uc218 \uc5c6\uc2b5\ub2c8\ub2e4 (\uc624\ud504\ub77c\uc778)',
        en: 'Map tiles unavailable (offline)'
    };
    var language = String((navigator.languages && navigator.languages[0]) || navigator.language || '');
    var offlineNote = document.createElement('div');
    offlineNote.className = 'offline-note';
    offlineNote.textContent = language.toLowerCase().indexOf('ko') === 0 ? OFFLINE_TEXT.ko : OFFLINE_TEXT.en;
    offlineNote.hidden = true;
    document.body.appendChild(offlineNote);

    var tiles = L.tileLayer(tileUrl, { maxZoom: MAX_ZOOM, attribution: escapeHtml(attribution) });
    var tilesFailed = false;
    tiles.on('tileerror', function () {
        tilesFailed = true;
        offlineNote.hidden = false;
    });
    tiles.on('tileload', function () {
        offlineNote.hidden = true;
    });
    tiles.addTo(map);
    function retryTiles() {
        if (!tilesFailed || navigator.onLine === false) return;
        tilesFailed = false;
        tiles.redraw();
    }
    window.setInterval(retryTiles, TILE_RETRY_MS);
    window.addEventListener('online', retryTiles);

    var pois = {};   // id -> { id, layer, lat, lon, label, kind }
    var track = [];  // [lat, lon] of the vehicle positions placed, in order
    var trackLine = L.polyline([], {
        className: 'track',
        interactive: false,
        color: '#f5a524',
        weight: 3,
        opacity: 0.85,
        lineJoin: 'round'
    }).addTo(map);
    var centred = false;  // false until the first position: then zoom to street level

    function escapeHtml(text) {
        return String(text).replace(/[&<>"']/g, function (c) {
            return { '&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;', "'": '&#39;' }[c];
        });
    }

    function isPosition(lon, lat) {
        return typeof lon === 'number' && typeof lat === 'number' && isFinite(lon) &&
               isFinite(lat) && Math.abs(lat) <= 90 && Math.abs(lon) <= 180;
    }

    // The viewer centres on the vehicle twice per display tick; a map already centred there
    // is left alone so that the tiles are not laid out again ten times a second.
    function isCentredOn(lat, lon) {
        var point = map.latLngToContainerPoint([lat, lon]);
        var middle = map.getSize().divideBy(2);
        return Math.abs(point.x - middle.x) < CENTRED_TOLERANCE_PX &&
               Math.abs(point.y - middle.y) < CENTRED_TOLERANCE_PX;
    }

    function setCenter(lon, lat) {
        if (!isPosition(lon, lat)) return false;
        if (centred && isCentredOn(lat, lon)) return true;
        map.setView([lat, lon], centred ? map.getZoom() : FIRST_FIX_ZOOM, { animate: false });
        centred = true;
        return true;
    }

    function removePoi(id) {
        var poi = pois[id];
        if (!poi) return false;
        map.removeLayer(poi.layer);
        delete pois[id];
        return true;
    }

    function extendTrack(lat, lon) {
        var last = track[track.length - 1];
        if (last && last[0] === lat && last[1] === lon) return;
        track.push([lat, lon]);
        trackLine.addLatLng([lat, lon]);
    }

    function addPoi(id, lon, lat, label, dx, dy, kind) {
        if (!isPosition(lon, lat)) return false;
        removePoi(id);
        var vehicle = kind === VEHICLE_KIND;
        var size = vehicle ? 18 : 12;
        var layer = L.marker([lat, lon], {
            icon: L.divIcon({ className: vehicle ? 'poi poi-vehicle' : 'poi', iconSize: [size, size] }),
            interactive: false,
            keyboard: false
        });
        label = label ? String(label) : '';
        if (label) {
            var text = document.createElement('span');
            text.textContent = label;  // never markup
            layer.bindTooltip(text, {
                permanent: true,
                direction: 'top',
                className: 'poi-label',
                offset: [(dx | 0), (dy | 0) - size / 2]
            });
        }
        layer.addTo(map);
        pois[id] = { id: id, layer: layer, lat: lat, lon: lon, label: label, kind: String(kind || '') };
        if (vehicle) extendTrack(lat, lon);
        return true;
    }

    // Lays down, oldest first, positions the viewer showed before this page was loaded; the
    // marker is left to the next position placed.
    function restoreTrack(points) {
        if (!Array.isArray(points)) return false;
        points.forEach(function (p) {
            if (Array.isArray(p) && isPosition(p[1], p[0])) extendTrack(p[0], p[1]);
        });
        return true;
    }

    function clearTrack() {
        track = [];
        trackLine.setLatLngs([]);
        return true;
    }

    function state() {
        var markers = Object.keys(pois).map(function (key) {
            var poi = pois[key];
            return { id: poi.id, lat: poi.lat, lon: poi.lon, label: poi.label, kind: poi.kind };
        });
        var centre = map.getCenter();
        return {
            markers: markers.length,
            markerList: markers,
            center: { lat: centre.lat, lon: centre.lng },
            zoom: map.getZoom(),
            track: track.map(function (p) {
                return [p[0], p[1]];
            }),
            tiles: tileUrl,
            attribution: attribution,
            inverted: invertTiles,
            offlineNote: !offlineNote.hidden,
            offlineText: offlineNote.textContent,
            events: eventTexts.slice()
        };
    }

    // The whole recording's route, drawn at open and coloured by speed; a click on it tells
    // the viewer where (console line "tarvex-route-click LAT LON"), which seeks to the fix
    // nearest that place. points: [[lat, lon, km/h], ...] in time order.
    var ROUTE_BANDS = [  // upper speed limit (km/h) and colour of each band
        [30, '#3fb950'], [60, '#d4c61f'], [90, '#f08c24'], [Infinity, '#e5484d']
    ];
    var routeLayer = L.layerGroup().addTo(map);
    var routePoints = [];

    function routeColour(speed) {
        for (var i = 0; i < ROUTE_BANDS.length; ++i)
            if (speed < ROUTE_BANDS[i][0]) return ROUTE_BANDS[i][1];
        return ROUTE_BANDS[ROUTE_BANDS.length - 1][1];
    }

    function setRoute(points) {
        routeLayer.clearLayers();
        eventLayer.clearLayers();
        eventTexts = [];
        routePoints = [];
        if (!Array.isArray(points)) return false;
        // An empty point ends a line: the routes of several drives are drawn apart.
        var lines = [[]];
        points.forEach(function (p) {
            if (Array.isArray(p) && p.length === 0 && lines[lines.length - 1].length > 0)
                lines.push([]);
            else if (Array.isArray(p) && isPosition(p[1], p[0]))
                lines[lines.length - 1].push([p[0], p[1], +p[2] || 0]);
        });
        lines.forEach(function (line) {
            routePoints = routePoints.concat(line);
            drawLine(line);
        });
        // A new route is shown whole first; the marker is then followed at that scale.
        routeFitPending = routePoints.length > 1;
        fitRoute();
        return true;
    }

    // One line per run of points in the same speed band, each sharing its end with the
    // next run so that the route has no holes.
    function drawLine(line) {
        var run = [];
        var colour = null;
        line.forEach(function (p) {
            var c = routeColour(p[2]);
            if (colour !== null && c !== colour) {
                run.push([p[0], p[1]]);
                L.polyline(run, { className: 'route', color: colour, weight: 5, opacity: 0.9 })
                    .on('click', onRouteClick).addTo(routeLayer);
                run = [];
            }
            colour = c;
            run.push([p[0], p[1]]);
        });
        if (run.length > 0)
            L.polyline(run, { className: 'route', color: colour, weight: 5, opacity: 0.9 })
                .on('click', onRouteClick).addTo(routeLayer);
    }

    var routeFitPending = false;
    function fitRoute() {
        var size = map.getSize();
        // A map not on screen has no size to fit into: it fits once it is shown.
        if (!routeFitPending || size.x < 2 || size.y < 2) return;
        routeFitPending = false;
        map.fitBounds(L.latLngBounds(routePoints.map(function (p) { return [p[0], p[1]]; })),
                      { animate: false, maxZoom: FIRST_FIX_ZOOM });
        centred = true;
    }
    map.on('resize', fitRoute);

    function onRouteClick(e) {
        console.info('tarvex-route-click ' + e.latlng.lat + ' ' + e.latlng.lng);
    }

    // Any click on the map, for the viewer to pick a place with.
    map.on('click', function (e) {
        console.info('tarvex-map-click ' + e.latlng.lat + ' ' + e.latlng.lng);
    });

    // The places of the driving events on the route: a dot in the event's colour, its name
    // in the tooltip; a click goes there as a click on the route does. points:
    // [[lat, lon, '#rrggbb', text], ...]. Drawn over the route, removed with it.
    var eventLayer = L.layerGroup().addTo(map);
    var eventTexts = [];

    function setEvents(points) {
        eventLayer.clearLayers();
        eventTexts = [];
        if (!Array.isArray(points)) return false;
        points.forEach(function (p) {
            if (!Array.isArray(p) || !isPosition(p[1], p[0])) return;
            var colour = /^#[0-9a-f]{6}$/i.test(p[2]) ? p[2] : '#ffffff';
            L.circleMarker([p[0], p[1]], {
                className: 'route-event', radius: 6, weight: 2, color: '#0b0e12',
                fillColor: colour, fillOpacity: 1
            }).bindTooltip(escapeHtml(p[3] || ''), { direction: 'top', offset: [0, -6] })
                .on('click', onRouteClick).addTo(eventLayer);
            eventTexts.push(String(p[3] || ''));
        });
        return true;
    }

    window.setCenter_wgs84 = setCenter;
    window.addPoi_wgs84 = addPoi;
    window.removePoi = removePoi;
    window.tarvexMap = {
        state: state,
        clearTrack: clearTrack,
        restoreTrack: restoreTrack,
        setRoute: setRoute,
        routeSize: function () { return routePoints.length; },
        setEvents: setEvents,
        eventCount: function () { return eventTexts.length; },
        // Where a place lies in the page, in pixels from the map's top left: [x, y].
        pointOf: function (lat, lon) {
            var p = map.latLngToContainerPoint([lat, lon]);
            return [p.x, p.y];
        }
    };
})();
