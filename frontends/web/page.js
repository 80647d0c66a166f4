// The page's window manager, dialogs and cryptography: every call into the DOM and WebCrypto that the program makes,
// as one Emscripten library (--js-library). WebRuntime.cpp declares these functions; the ones that wait for the
// person or for WebCrypto (listed in the build's ASYNCIFY_IMPORTS) suspend the program through Asyncify.
//
// The DOM as drawn here (the end-to-end cases read it):
// - #screen: the page's screen, the whole viewport; each window is an absolutely placed child of it.
// - .window[data-form="Form1"|"Form2"]: a window's outer frame, `hidden` while the program has it invisible. Its
//   getBoundingClientRect() is the window's outer geometry in CSS pixels. Twips convert through the page's scale:
//   document.documentElement.dataset.twipsPerPixel (15 at scale 1, more where the page scales down to fit a phone).
//   The frame is drawn at scale 1 and shrunk with a CSS transform, so each text's computed font size stays the
//   size it has on the desktop: no box that takes the focus has text under 16 px, and iOS does not zoom into it.
// - Form1 (a framed window): .titlebar (the drag handle) holding img.icon, .title and button.close (aria-label
//   "关闭"). A frameless window (Form2) has neither title bar nor border.
// - .client: the client area. Each control has data-control="NAME" (NAME_INDEX for a member of a control array):
//   text boxes are <input type="text">, buttons <button>, labels <div>.
// - The message box and the fatal-error report: .dialog[role="alertdialog"][aria-modal="true"] with
//   .dialog-caption, .dialog-prompt and button.dialog-ok, over an overlay that takes every other input.
// - While a sealed lookup derives its key: aria-busy="true" on <html>, a wait cursor and a spinner.
// - Once the program has ended: every window hidden, #ended shown.
// - A frameless window that the program places where it would not be wholly in view, or over a button of another
//   window, is put instead where it is wholly in view, never over the button whose click showed it, covering as few
//   buttons as can be, then as little of the other windows, then as near to where it was asked for (the program
//   reads back where it stands and asks again at its next tick). On a desktop-sized viewport the panel stands
//   exactly where the program puts it.

var PageLibrary = {
    $Page__postset: 'Page.init();',
    $Page: {
        // Drawing at scale 1: the client area's twips become CSS pixels at 15 twips each (96 dpi).
        TwipsPerPixel: 15,
        BorderPx: 1,
        TitleBarPx: 30,
        CloseBoxPx: 46,
        scale: 1,
        windows: {},
        timers: [],
        dialogOpen: false,
        ended: false,
        zOrder: 10,
        screen: null,
        // Counts every change that can change where a frameless window belongs: a window moved, resized, shown or
        // hidden, a button shown or hidden, the scale. The panel's timer asks for its place at every tick, and the
        // answer is worked out again only when something has changed.
        generation: 0,

        init: function() {
            Page.screen = document.getElementById('screen');
            document.addEventListener('keydown', Page.onKeyDown, true);
            window.addEventListener('resize', Page.onResize);
        },

        text: function(ptr, length) {
            var units = HEAPU16.subarray(ptr >> 1, (ptr >> 1) + length);
            var out = '';
            for (var i = 0; i < units.length; i += 4096)
                out += String.fromCharCode.apply(null, units.subarray(i, i + 4096));
            return out;
        },

        latin: function(ptr, length) {
            return String.fromCharCode.apply(null, HEAPU8.subarray(ptr, ptr + length));
        },

        // The layouts name the Windows faces; these are the browser's own faces with the same metrics, and no face
        // is ever downloaded.
        fontStack: function(face) {
            if (face === '黑体')
                return '"SimHei", "黑体", "Noto Sans Mono CJK SC", "Noto Sans CJK SC", "Source Han Sans SC", ' +
                    '"PingFang SC", "Heiti SC", "Microsoft YaHei", sans-serif';
            return '"SimSun", "宋体", "NSimSun", "AR PL UMing CN", "Noto Serif CJK SC", "Source Han Serif SC", ' +
                '"Songti SC", "STSong", serif';
        },

        fontCss: function(style, face, points, weight) {
            style.fontFamily = Page.fontStack(face);
            // A point is 4/3 of a pixel at 96 dpi.
            style.fontSize = (points * 4 / 3) + 'px';
            style.fontWeight = weight >= 700 ? 'bold' : 'normal';
        },

        viewport: function() {
            return {width: Page.screen.clientWidth, height: Page.screen.clientHeight};
        },

        twipsPerCssPixel: function() {
            return Page.TwipsPerPixel / Page.scale;
        },

        // The largest scale, at most 1, at which the first framed window fits the viewport: a phone's screen shows
        // the query window across its whole width.
        fitScale: function(win) {
            var v = Page.viewport();
            var s = Math.min(1, v.width / win.w1, v.height / win.h1);
            return s > 0 && isFinite(s) ? s : 1;
        },

        setScale: function(s) {
            Page.scale = s;
            Page.generation++;
            Page.viewportWidth = Page.viewport().width;
            document.documentElement.dataset.twipsPerPixel = String(Page.twipsPerCssPixel());
            document.documentElement.style.setProperty('--scale', String(s));
        },

        frameOf: function(win) {
            return win.framed ? {left: Page.BorderPx, top: Page.BorderPx + Page.TitleBarPx, right: Page.BorderPx,
                                 bottom: Page.BorderPx}
                              : {left: 0, top: 0, right: 0, bottom: 0};
        },

        // Puts a window's element where its model says: outer position in CSS pixels, its size drawn at scale 1.
        apply: function(win) {
            var st = win.el.style, before = Page.generation;
            var left = win.x + 'px', top = win.y + 'px';
            if (st.left !== left) st.left = left, Page.generation++;
            if (st.top !== top) st.top = top, Page.generation++;
            var w = win.w1 + 'px', h = win.h1 + 'px';
            if (st.width !== w) {
                st.width = w;
                win.client.style.width = (win.w1 - win.frame.left - win.frame.right) + 'px';
                Page.generation++;
            }
            if (st.height !== h) {
                st.height = h;
                win.client.style.height = (win.h1 - win.frame.top - win.frame.bottom) + 'px';
                Page.generation++;
            }
            var t = 'scale(' + Page.scale + ')';
            if (st.transform !== t) st.transform = t, Page.generation++;
            return Page.generation !== before;
        },

        rectOf: function(win) {
            return {x: win.x, y: win.y, w: win.w1 * Page.scale, h: win.h1 * Page.scale};
        },

        overlap: function(a, b) {
            var w = Math.min(a.x + a.w, b.x + b.w) - Math.max(a.x, b.x);
            var h = Math.min(a.y + a.h, b.y + b.h) - Math.max(a.y, b.y);
            return w > 0 && h > 0 ? w * h : 0;
        },

        // Where a person presses on another window: its visible buttons and its close box, in CSS pixels.
        buttonsOf: function(win) {
            var s = Page.scale, out = [];
            if (win.framed)
                out.push({x: win.x + (win.w1 - Page.BorderPx - Page.CloseBoxPx) * s, y: win.y + Page.BorderPx * s,
                          w: Page.CloseBoxPx * s, h: Page.TitleBarPx * s, el: win.closeBox});
            // A button that reaches past the client area shows only inside it.
            var clientLeft = win.x + win.frame.left * s, clientTop = win.y + win.frame.top * s;
            var clientRight = win.x + (win.w1 - win.frame.right) * s;
            var clientBottom = win.y + (win.h1 - win.frame.bottom) * s;
            win.controls.forEach(function(c) {
                if (!c || c.kind !== 2 || c.el.hidden) return;
                var left = Math.max(clientLeft, clientLeft + c.left / Page.TwipsPerPixel * s);
                var top = Math.max(clientTop, clientTop + c.top / Page.TwipsPerPixel * s);
                var right = Math.min(clientRight, clientLeft + (c.left + c.width) / Page.TwipsPerPixel * s);
                var bottom = Math.min(clientBottom, clientTop + (c.top + c.height) / Page.TwipsPerPixel * s);
                if (right > left && bottom > top)
                    out.push({x: left, y: top, w: right - left, h: bottom - top, el: c.el});
            });
            return out;
        },

        others: function(win) {
            var out = [];
            for (var k in Page.windows) {
                var o = Page.windows[k];
                if (o !== win && !o.el.hidden) out.push(o);
            }
            return out;
        },

        // The window manager's one rule (see the top): a frameless window stands where asked if it is wholly in view
        // and covers no button of another window. Otherwise it goes, wholly in view, beside, above or below another
        // window, never over the button that showed it (so that the same button hides it again), covering as few
        // buttons and as little of the other windows as can be, and as near to where it was asked for.
        place: function(win) {
            if (win.framed) {
                win.x = win.ax;
                win.y = win.ay;
                return Page.apply(win);
            }
            var v = Page.viewport(), s = Page.scale;
            var asked = function() {
                return [win.ax, win.ay, win.w1, win.h1, v.width, v.height, Page.generation].join();
            };
            if (win.placedFor === asked()) return;
            var w = win.w1 * s, h = win.h1 * s;
            var others = Page.others(win);
            var wanted = [[win.ax, win.ay]];
            others.forEach(function(o) {
                var r = Page.rectOf(o);
                wanted.push([r.x + r.w, win.ay], [r.x - w, win.ay], [win.ax, r.y + r.h], [win.ax, r.y - h]);
            });
            var buttons = [];
            others.forEach(function(o) { buttons = buttons.concat(Page.buttonsOf(o)); });
            var best = null;
            wanted.forEach(function(p, i) {
                var x = i === 0 && p[0] >= 0 && p[0] + w <= v.width ? p[0] : Math.max(0, Math.min(p[0], v.width - w));
                var y = i === 0 && p[1] >= 0 && p[1] + h <= v.height ? p[1] : Math.max(0, Math.min(p[1], v.height - h));
                var r = {x: x, y: y, w: w, h: h};
                var pressed = 0;
                buttons.forEach(function(b) { if (Page.overlap(r, b) > 0) pressed += b.el === win.shownBy ? 1e9 : 1; });
                if (pressed >= 1e9) return;
                var covered = 0;
                others.forEach(function(o) { covered += Page.overlap(r, Page.rectOf(o)); });
                var c = {x: x, y: y, pressed: pressed, covered: covered, distance: Math.hypot(x - win.ax, y - win.ay)};
                if (!best || c.pressed < best.pressed ||
                    (c.pressed === best.pressed && (c.covered < best.covered - 0.5 ||
                     (Math.abs(c.covered - best.covered) <= 0.5 && c.distance < best.distance))))
                    best = c;
            });
            if (!best) best = {x: win.ax, y: win.ay};
            win.x = best.x;
            win.y = best.y;
            Page.apply(win);
            win.placedFor = asked();
        },

        raise: function(win) {
            win.el.style.zIndex = String(++Page.zOrder);
        },

        focusable: function(win) {
            var list = [];
            win.controls.forEach(function(c) {
                if (c && (c.kind === 1 || c.kind === 2) && !c.el.hidden) list.push(c);
            });
            list.sort(function(a, b) { return a.tabIndex - b.tabIndex; });
            return list;
        },

        windowOf: function(node) {
            for (var k in Page.windows)
                if (Page.windows[k].el.contains(node)) return Page.windows[k];
            return null;
        },

        // Calls into the program, unless it has ended or is waiting (Asyncify has its stack unwound until a promise
        // settles): a tick or an input that comes meanwhile is dropped. A tick only puts the panel against the
        // query window, which cannot move while the program waits (the overlay takes the pointer), and the next tick
        // does the same work; a click during a lookup would be a second lookup of the same texts.
        enter: function(call) {
            if (Page.ended || Asyncify.currData) return;
            try {
                call();
            } catch (e) {
                if (e !== 'unwind') throw e;
                return;
            }
            if (Asyncify.currData && !Asyncify.asyncPromiseHandlers)
                Asyncify.whenDone().catch(function(e) { if (e !== 'unwind') throw e; });
        },

        clicked: function(form, row) {
            var c = Page.windows[form].controls[row];
            Page.pressed = c ? c.el : null;
            Page.enter(function() { Module['_web_controlClicked'](form, row); });
        },

        closeRequested: function(form) {
            Page.enter(function() { Module['_web_windowCloseRequested'](form); });
        },

        onKeyDown: function(e) {
            if (Page.ended) return;
            if (Page.dialogOpen) {
                // The box is application-modal: its button is the only thing the keyboard reaches.
                if (e.key === 'Enter' || e.key === 'Escape' || e.key === ' ') {
                    e.preventDefault();
                    if (!e.repeat && Page.closeDialog) Page.closeDialog();
                } else if (e.key === 'Tab') {
                    e.preventDefault();
                }
                return;
            }
            if (Asyncify.currData) {
                e.preventDefault();
                return;
            }
            var win = Page.windowOf(e.target) || Page.windows[1];
            if (!win) return;
            if (e.key === 'Enter' || e.key === 'Escape') {
                // Neither key does anything anywhere in a window, as on the desktop.
                e.preventDefault();
            } else if (e.key === 'Tab' && !e.altKey && !e.ctrlKey && !e.metaKey) {
                // The focus goes round the window's own controls in tab order and never leaves the window.
                var list = Page.focusable(win);
                if (!list.length) return;
                e.preventDefault();
                var at = list.findIndex(function(c) { return c.el === document.activeElement; });
                var next = at < 0 ? 0 : (at + (e.shiftKey ? list.length - 1 : 1)) % list.length;
                list[next].el.focus();
            }
        },

        onResize: function() {
            if (Page.ended || !Page.firstFramed) return;
            var v = Page.viewport();
            // A phone's keyboard changes only the height: the page keeps its scale while it is up.
            if (v.width !== Page.viewportWidth) Page.setScale(Page.fitScale(Page.firstFramed));
            for (var k in Page.windows) {
                var win = Page.windows[k];
                if (win.framed) Page.keepInView(win, win.ax, win.ay);
                Page.place(win);
            }
        },

        // A framed window dragged (or left) out of view keeps a grip of its title bar in the viewport.
        keepInView: function(win, x, y) {
            var v = Page.viewport(), s = Page.scale, grip = 48;
            win.ax = Math.max(grip - win.w1 * s, Math.min(x, v.width - grip));
            win.ay = Math.max(0, Math.min(y, v.height - (Page.BorderPx + Page.TitleBarPx) * s));
        },

        startDrag: function(win, e) {
            if (e.button !== 0 || e.target.closest('button.close') || Page.ended) return;
            e.preventDefault();
            var bar = e.currentTarget, startX = e.clientX, startY = e.clientY, fromX = win.x, fromY = win.y;
            bar.setPointerCapture(e.pointerId);
            var end = function(m) {
                if (m.pointerId !== e.pointerId) return;
                bar.removeEventListener('pointermove', move);
                ['pointerup', 'pointercancel', 'lostpointercapture'].forEach(function(type) {
                    bar.removeEventListener(type, end);
                });
            };
            var move = function(m) {
                if (m.pointerId !== e.pointerId) return;
                // A release the page did not hear of ends the drag at the next move.
                if (!m.buttons) return end(m);
                Page.keepInView(win, fromX + m.clientX - startX, fromY + m.clientY - startY);
                Page.place(win);
            };
            bar.addEventListener('pointermove', move);
            ['pointerup', 'pointercancel', 'lostpointercapture'].forEach(function(type) {
                bar.addEventListener(type, end);
            });
        },

        setBusy: function(busy) {
            var root = document.documentElement;
            if (busy) {
                root.setAttribute('aria-busy', 'true');
                var cover = document.createElement('div');
                cover.className = 'busy';
                cover.appendChild(document.createElement('div')).className = 'spinner';
                document.body.appendChild(cover);
                Page.busyCover = cover;
            } else {
                root.removeAttribute('aria-busy');
                if (Page.busyCover) Page.busyCover.remove();
                Page.busyCover = null;
            }
        },

        // The page's own application-modal box with one OK button; settles when it is closed.
        dialog: function(caption, prompt, fatal) {
            return new Promise(function(resolve) {
                var before = document.activeElement;
                var overlay = document.createElement('div');
                overlay.className = 'dialog-overlay';
                var box = overlay.appendChild(document.createElement('div'));
                box.className = fatal ? 'dialog fatal' : 'dialog';
                box.setAttribute('role', 'alertdialog');
                box.setAttribute('aria-modal', 'true');
                box.setAttribute('aria-labelledby', 'dialog-caption');
                box.setAttribute('aria-describedby', 'dialog-prompt');
                var head = box.appendChild(document.createElement('div'));
                head.className = 'dialog-caption';
                head.id = 'dialog-caption';
                head.textContent = caption;
                var body = box.appendChild(document.createElement('div'));
                body.className = 'dialog-body';
                if (fatal) body.appendChild(document.createElement('div')).className = 'dialog-icon';
                var text = body.appendChild(document.createElement('div'));
                text.className = 'dialog-prompt';
                text.id = 'dialog-prompt';
                text.textContent = prompt;
                var buttons = box.appendChild(document.createElement('div'));
                buttons.className = 'dialog-buttons';
                var ok = buttons.appendChild(document.createElement('button'));
                ok.type = 'button';
                ok.className = 'dialog-ok';
                ok.textContent = '确定';
                var close = function() {
                    if (!overlay.isConnected) return;
                    overlay.remove();
                    Page.dialogOpen = false;
                    Page.closeDialog = null;
                    if (before && before.isConnected && before.offsetParent !== null) before.focus();
                    resolve(0);
                };
                ok.addEventListener('click', close);
                // A press anywhere else in the box or beside it leaves the focus on OK, as a desktop message box does.
                overlay.addEventListener('mousedown', function(e) { if (e.target !== ok) e.preventDefault(); });
                document.body.appendChild(overlay);
                Page.dialogOpen = true;
                Page.closeDialog = close;
                ok.focus();
            });
        },

        end: function() {
            Page.ended = true;
            Page.timers.forEach(function(t) { clearInterval(t); });
            Page.timers = [];
            // Both windows go in the same task, so no frame is painted with one of them still there.
            for (var k in Page.windows) {
                var win = Page.windows[k];
                win.el.hidden = true;
                win.controls.forEach(function(c) { if (c && c.kind === 1) c.el.value = ''; });
            }
            document.querySelectorAll('.dialog-overlay, .busy').forEach(function(n) { n.remove(); });
            document.documentElement.removeAttribute('aria-busy');
            Page.dialogOpen = false;
            var ended = document.getElementById('ended');
            ended.hidden = false;
            var again = ended.querySelector('button');
            if (again) {
                again.addEventListener('click', function() { location.reload(); });
                again.focus();
            }
        },
    },

    page_createWindow: function(form, name, nameLength, title, titleLength, framed, hasIcon, clientWidth,
                                clientHeight, face, faceLength, points, weight) {
        var old = Page.windows[form];
        if (old) {
            old.timers.forEach(function(t) { clearInterval(t); });
            old.el.remove();
        }
        var win = {form: form, framed: !!framed, controls: [], timers: []};
        win.frame = Page.frameOf(win);
        win.w1 = clientWidth / Page.TwipsPerPixel + win.frame.left + win.frame.right;
        win.h1 = clientHeight / Page.TwipsPerPixel + win.frame.top + win.frame.bottom;
        var el = document.createElement('div');
        el.className = framed ? 'window framed' : 'window';
        el.dataset.form = Page.latin(name, nameLength);
        el.hidden = true;
        var titleText = Page.text(title, titleLength);
        if (framed) {
            var bar = el.appendChild(document.createElement('div'));
            bar.className = 'titlebar';
            if (hasIcon) {
                var icon = bar.appendChild(document.createElement('img'));
                icon.className = 'icon';
                icon.alt = '';
                var link = document.querySelector('link[rel="icon"]');
                if (link) icon.src = link.href;
            }
            var t = bar.appendChild(document.createElement('span'));
            t.className = 'title';
            t.textContent = titleText;
            var close = bar.appendChild(document.createElement('button'));
            close.type = 'button';
            close.className = 'close';
            close.tabIndex = -1;
            close.setAttribute('aria-label', '关闭');
            win.closeBox = close;
            close.addEventListener('click', function() { Page.closeRequested(form); });
            bar.addEventListener('pointerdown', function(e) { Page.startDrag(win, e); });
            if (hasIcon) document.title = titleText;
        }
        el.setAttribute('aria-label', titleText);
        var client = el.appendChild(document.createElement('div'));
        client.className = 'client';
        Page.fontCss(client.style, Page.text(face, faceLength), points, weight);
        el.addEventListener('pointerdown', function() { Page.raise(win); }, true);
        win.el = el;
        win.client = client;
        if (framed && !Page.firstFramed) {
            Page.firstFramed = win;
            Page.setScale(Page.fitScale(win));
        }
        // The platform's default place, until the program puts it elsewhere.
        win.ax = win.ay = 0;
        Page.windows[form] = win;
        Page.screen.appendChild(el);
        Page.raise(win);
        Page.place(win);
    },

    page_addControl: function(form, row, name, nameLength, arrayIndex, kind, caption, captionLength, left, top,
                              width, height, face, faceLength, points, weight, colour, tabIndex, intervalMs) {
        var win = Page.windows[form];
        var controlName = Page.latin(name, nameLength) + (arrayIndex >= 0 ? '_' + arrayIndex : '');
        if (kind === 3) {
            // A timer ticks from the moment its window is made, until the program ends.
            var timer = setInterval(function() {
                Page.enter(function() { Module['_web_timerTicked'](form, row); });
            }, intervalMs);
            win.timers.push(timer);
            Page.timers.push(timer);
            win.controls[row] = null;
            return;
        }
        var text = Page.text(caption, captionLength);
        var el;
        if (kind === 1) {
            el = document.createElement('input');
            el.type = 'text';
            el.value = text;
            // A phone's keyboard: letters and digits (a numeric pad has no X), capitals offered first, as the
            // instructions ask for capital letters; nothing corrected, suggested, stored or spell-checked.
            el.inputMode = 'text';
            el.setAttribute('autocapitalize', 'characters');
            el.setAttribute('autocomplete', 'off');
            el.setAttribute('autocorrect', 'off');
            el.spellcheck = false;
            // A single-line box holds one line: of pasted text, what follows the first line break is dropped.
            el.addEventListener('paste', function(e) {
                var pasted = e.clipboardData && e.clipboardData.getData('text/plain');
                if (!pasted || !/[\r\n\u2028\u2029]/.test(pasted)) return;
                e.preventDefault();
                el.setRangeText(pasted.split(/[\r\n\u2028\u2029]/)[0], el.selectionStart, el.selectionEnd, 'end');
            });
        } else if (kind === 2) {
            el = document.createElement('button');
            el.type = 'button';
            el.textContent = text;
            if (height > 2 * width) el.classList.add('vertical');
            el.addEventListener('click', function() { Page.clicked(form, row); });
        } else {
            el = document.createElement('div');
            el.className = 'label';
            el.textContent = text;
        }
        el.classList.add('control');
        el.dataset.control = controlName;
        if (kind === 1 || kind === 2) el.tabIndex = tabIndex + 1;
        var st = el.style;
        st.left = left / Page.TwipsPerPixel + 'px';
        st.top = top / Page.TwipsPerPixel + 'px';
        st.width = width / Page.TwipsPerPixel + 'px';
        st.height = height / Page.TwipsPerPixel + 'px';
        Page.fontCss(st, Page.text(face, faceLength), points, weight);
        if (colour >= 0) st.color = '#' + ('00000' + colour.toString(16)).slice(-6);
        win.client.appendChild(el);
        win.controls[row] = {el: el, kind: kind, tabIndex: tabIndex, left: left, top: top, width: width,
                             height: height};
    },

    page_windowExists: function(form) {
        return Page.windows[form] ? 1 : 0;
    },

    page_isWindowVisible: function(form) {
        return Page.windows[form].el.hidden ? 0 : 1;
    },

    page_setWindowVisible: function(form, visible) {
        var win = Page.windows[form];
        if (win.el.hidden === !visible) return;
        win.el.hidden = !visible;
        Page.generation++;
        if (visible) {
            // The button whose click showed the window stays uncovered (the placement rule at the top).
            win.shownBy = Page.pressed || null;
            Page.raise(win);
            Page.place(win);
        } else if (win.el.contains(document.activeElement)) {
            document.activeElement.blur();
        }
    },

    page_activateWindow: function(form) {
        var win = Page.windows[form];
        Page.raise(win);
        var list = Page.focusable(win);
        if (list.length) list[0].el.focus();
    },

    page_windowEdge: function(form, edge) {
        var win = Page.windows[form], tpp = Page.twipsPerCssPixel();
        switch (edge) {
        case 0: return win.x * tpp;
        case 1: return win.y * tpp;
        case 2: return win.w1 * Page.TwipsPerPixel;
        default: return win.h1 * Page.TwipsPerPixel;
        }
    },

    page_setWindowEdge: function(form, edge, twips) {
        var win = Page.windows[form], tpp = Page.twipsPerCssPixel();
        switch (edge) {
        case 0: win.ax = twips / tpp; break;
        case 1: win.ay = twips / tpp; break;
        case 2:
            if (twips / Page.TwipsPerPixel < win.frame.left + win.frame.right) return 0;
            win.w1 = twips / Page.TwipsPerPixel;
            break;
        default:
            if (twips / Page.TwipsPerPixel < win.frame.top + win.frame.bottom) return 0;
            win.h1 = twips / Page.TwipsPerPixel;
        }
        if (win.el.hidden) {
            // The panel's timer asks again at every tick while it is hidden: a window nobody sees stands where it
            // was asked to, and is placed by the window manager's rule when it is shown.
            win.x = win.ax;
            win.y = win.ay;
            return 1;
        }
        Page.place(win);
        return 1;
    },

    page_screenSize: function(edge) {
        var v = Page.viewport();
        return (edge === 2 ? v.width : v.height) * Page.twipsPerCssPixel();
    },

    page_setControlVisible: function(form, row, visible) {
        var win = Page.windows[form], c = win.controls[row];
        if (!c || c.el.hidden === !visible) return;
        var hadFocus = !visible && c.el === document.activeElement;
        c.el.hidden = !visible;
        Page.generation++;
        if (hadFocus) {
            // The focus goes on to the next control in tab order, as the desktop toolkits move it.
            var list = Page.focusable(win);
            var next = list.find(function(o) { return o.tabIndex > c.tabIndex; }) || list[0];
            if (next) next.el.focus();
            else c.el.blur();
        }
    },

    page_controlTextLength: function(form, row) {
        var c = Page.windows[form].controls[row];
        return c && c.kind === 1 ? c.el.value.length : -1;
    },

    page_copyControlText: function(form, row, out, length) {
        var value = Page.windows[form].controls[row].el.value;
        for (var i = 0; i < length; ++i) HEAPU16[(out >> 1) + i] = value.charCodeAt(i);
    },

    page_setControlText: function(form, row, text, length) {
        Page.windows[form].controls[row].el.value = Page.text(text, length);
    },

    page_showMessage: function(caption, captionLength, prompt, promptLength) {
        var c = Page.text(caption, captionLength), p = Page.text(prompt, promptLength);
        return Asyncify.handleAsync(function() { return Page.dialog(c, p, false); });
    },

    page_showFatalErrorReport: function(caption, captionLength, text, textLength) {
        var c = Page.text(caption, captionLength), p = Page.text(text, textLength);
        return Asyncify.handleAsync(function() { return Page.dialog(c, p, true); });
    },

    page_endProcess: function(status) {
        Page.end();
        // Past every frame of the program: the wasm's C++ handlers catch only C++ exceptions, and the page's
        // callers, like Emscripten's own, take 'unwind' as the end of what was running.
        throw 'unwind';
    },

    // PBKDF2-HMAC-SHA256, then HMAC-SHA256 of the key over each label: the lookup tag and the row key, 32 bytes
    // each, into `keys`. 1 when derived, 0 when WebCrypto failed (or is missing: a page served without HTTPS).
    page_derivePairKeys: function(pair, pairLength, salt, saltLength, iterations, tagLabel, tagLabelLength, keyLabel,
                                  keyLabelLength, keys) {
        var secret = HEAPU8.slice(pair, pair + pairLength);
        var saltBytes = HEAPU8.slice(salt, salt + saltLength);
        var labels = [HEAPU8.slice(tagLabel, tagLabel + tagLabelLength),
                      HEAPU8.slice(keyLabel, keyLabel + keyLabelLength)];
        return Asyncify.handleAsync(async function() {
            var bits = null;
            Page.setBusy(true);
            try {
                var subtle = crypto.subtle;
                var base = await subtle.importKey('raw', secret, 'PBKDF2', false, ['deriveBits']);
                bits = new Uint8Array(await subtle.deriveBits(
                    {name: 'PBKDF2', hash: 'SHA-256', salt: saltBytes, iterations: iterations >>> 0}, base, 256));
                var mac = await subtle.importKey('raw', bits, {name: 'HMAC', hash: 'SHA-256'}, false, ['sign']);
                for (var i = 0; i < 2; ++i) {
                    var out = new Uint8Array(await subtle.sign('HMAC', mac, labels[i]));
                    HEAPU8.set(out, keys + 32 * i);
                    out.fill(0);
                }
                return 1;
            } catch (e) {
                return 0;
            } finally {
                secret.fill(0);
                if (bits) bits.fill(0);
                Page.setBusy(false);
            }
        });
    },

    // AES-256-GCM: 1 and the record opened into `record` when `sealed` (ciphertext and 16-byte tag) authenticates,
    // 0 when it does not, -1 when WebCrypto failed.
    page_openRecord: function(rowKey, nonce, associatedData, associatedDataLength, sealed, sealedLength, record) {
        var keyBytes = HEAPU8.slice(rowKey, rowKey + 32);
        var iv = HEAPU8.slice(nonce, nonce + 12);
        var ad = HEAPU8.slice(associatedData, associatedData + associatedDataLength);
        var data = HEAPU8.slice(sealed, sealed + sealedLength);
        return Asyncify.handleAsync(async function() {
            var key;
            try {
                key = await crypto.subtle.importKey('raw', keyBytes, 'AES-GCM', false, ['decrypt']);
            } catch (e) {
                return -1;
            } finally {
                keyBytes.fill(0);
            }
            var plain;
            try {
                plain = new Uint8Array(await crypto.subtle.decrypt(
                    {name: 'AES-GCM', iv: iv, additionalData: ad, tagLength: 128}, key, data));
            } catch (e) {
                return e && e.name === 'OperationError' ? 0 : -1;
            }
            HEAPU8.set(plain, record);
            plain.fill(0);
            return 1;
        });
    },

    page_wipe: function(bytes, length) {
        HEAPU8.fill(0, bytes, bytes + length);
    },
};

autoAddDeps(PageLibrary, '$Page');
PageLibrary.$Page__deps = ['$Asyncify'];
mergeInto(LibraryManager.library, PageLibrary);
