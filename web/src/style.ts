// The element's look: the control's list in its presentations, its flat
// menu and its windows.
export const STYLE = `
:host { display: inline-block; width: 500px; height: 200px; font: 12px "Gulim", "굴림", "Malgun Gothic", sans-serif; position: relative; contain: layout; }
.list { box-sizing: border-box; width: 100%; height: 100%; overflow: auto; border: 1px solid #7f9db9; outline: none; }
.list:focus-visible { box-shadow: inset 0 0 0 2px #316ac5; }
.sr { position: absolute; width: 1px; height: 1px; overflow: hidden; clip: rect(0 0 0 0); white-space: nowrap; }
.icon { display: inline-block; width: 16px; height: 16px; margin-right: 4px; vertical-align: middle; border-radius: 2px;
  background: linear-gradient(135deg, #fff 0 70%, #c8c8c8 70%); border: 1px solid #8a8a8a; box-sizing: border-box; }
.icon.image { background: linear-gradient(#8fd0ff, #3a9a3a); }
.icon.document { background: linear-gradient(#fff 0 30%, #2b5797 30%); }
.icon.archive { background: repeating-linear-gradient(#e8c25a 0 3px, #a67c00 3px 5px); }
.icon.audio { background: radial-gradient(#ff9f40 40%, #b35900 41%); border-radius: 50%; }
.icon.video { background: linear-gradient(90deg, #333 0 20%, #7b5cd6 20% 80%, #333 80%); }
.icon.program { background: linear-gradient(#d9e7f7 0 35%, #0a64ad 35%); }
.icon.server { outline: 1px dashed #316ac5; outline-offset: 1px; }
.view0 .row, .view2 .row, .view3 .row { display: inline-flex; align-items: center; margin: 2px; padding: 1px 3px; cursor: default; }
.view0 .row { flex-direction: column; width: 76px; vertical-align: top; text-align: center; word-break: break-all; }
.view0 .icon { width: 32px; height: 32px; margin: 4px 0; }
.view3 { columns: 160px; } .view3 .row { display: flex; }
.view1 [role=row], .view4 [role=row] { display: grid; grid-template-columns: var(--cols); min-width: min-content; }
.view1 [role=gridcell], .view4 [role=gridcell], [role=columnheader] { padding: 1px 6px; white-space: nowrap; overflow: hidden; text-overflow: ellipsis; }
.head { position: sticky; top: 0; }
[role=columnheader] { background: linear-gradient(#fdfdfd, #e3e3e3); border-right: 1px solid #b5b5b5; border-bottom: 1px solid #b5b5b5; padding: 0; }
[role=columnheader] button { all: unset; display: block; width: 100%; text-align: center; padding: 2px 6px; box-sizing: border-box; }
[role=columnheader] button:hover { background: #eaf3fd; }
.grid [role=gridcell] { border: 1px solid #d0d0d0; }
.num { text-align: right; }
.row[aria-selected=true] { background: #316ac5; color: #fff; }
.row.active { outline: 1px dotted currentColor; outline-offset: -1px; }
.menu { position: absolute; z-index: 10; min-width: 140px; background: #fff; border: 1px solid #666; box-shadow: 2px 2px 3px rgba(0,0,0,.3);
  padding: 2px 0; background-image: linear-gradient(90deg, rgb(180,196,228), #fff 30px); background-size: 30px 100%; background-repeat: no-repeat; }
.menu.sub { position: static; box-shadow: none; border: 0; border-top: 1px solid #ccc; }
[role^=menuitem] { padding: 3px 12px 3px 36px; cursor: default; outline: none; }
[role^=menuitem]:focus, [role^=menuitem]:hover { background: #c1d2ee; box-shadow: inset 0 0 0 1px #316ac5; }
[role^=menuitem][aria-disabled=true] { color: #6d6d6d; }
[role=menuitemradio][aria-checked=true]::before { content: "●"; margin-left: -18px; width: 18px; display: inline-block; }
[role=separator] { border-top: 1px solid #c5c5c5; margin: 2px 2px 2px 32px; }
dialog.window { padding: 10px 12px; border: 1px solid #445; font: 12px "Gulim", "굴림", sans-serif; color: #000;
  background: linear-gradient(90deg, #e9f2fd, #fff); min-width: 300px; }
dialog.window h2 { font-size: 13px; margin: -10px -12px 8px; padding: 4px 8px; color: #fff; background: linear-gradient(90deg, #0a246a, #a6caf0); }
dialog.window p { margin: 4px 0; white-space: pre-wrap; }
dialog.window progress { width: 100%; height: 14px; }
dialog.multi { width: 560px; }
dialog.multi .table { max-height: 160px; overflow: auto; border: 1px solid #7f9db9; background: #fff; margin: 6px 0; }
dialog.multi table { border-collapse: collapse; width: 100%; }
dialog.multi th, dialog.multi td { border: 1px solid #ddd; padding: 1px 4px; text-align: left; font-weight: normal; }
dialog.multi thead th { background: #eee; }
.buttons { display: flex; justify-content: flex-end; gap: 6px; margin-top: 8px; }
.buttons button { min-width: 70px; padding: 2px 8px; }
.alert { color: #a00000; }
.alert:empty { display: none; }
.pre { white-space: pre-line; }
`;
