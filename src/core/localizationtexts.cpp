// The interface texts, compiled into the program.
//
// One record per key: the key, then its text in each language, always in this order:
//     en, zh, fr, es, de, it, pl, ja
// "\n" is a line break; "\u00AD" (a soft hyphen) marks the syllable where a word too long for a
// narrow place (a sidebar row) breaks, with a hyphen drawn at the break. A translation keeps every
// key name ("Alt+Tab", "Esc", "Ctrl"), symbol ("→", "•"), number, path and product name of the
// English text; localization_test checks this.
// Texts name the places, keys and programs of a Linux desktop: Alt and Super, Ctrl for copy, paste
// and in-app shortcuts, the file manager, the desktop's settings, the XDG state folder.
// Terms used throughout, per language (window / clipboard / file shelf / shortcut):
//     zh 窗口 / 剪贴板 / 文件架 / 快捷键          fr fenêtre / presse-papiers / étagère / raccourci
//     es ventana / portapapeles / estante / atajo   de Fenster / Zwischenablage / Dateiregal / Kurzbefehl
//     it finestra / appunti / ripiano / abbreviazione   pl okno / schowek / półka / skrót
//     ja ウインドウ / クリップボード / シェルフ / ショートカット
// The user is addressed as vous in French, with the familiar form in Spanish, German, Italian and Polish
// (Polish capitalises Twój), and as 你 in Chinese.

#include "core/localizationtexts.h"

namespace qv {

namespace {

// clang-format off
const LocalizationRow interfaceRows[] = {
    {u"tab_general", {
        u"General",
        u"通用",
        u"Général",
        u"General",
        u"Allgemein",
        u"Generali",
        u"Ogólne",
        u"一般"
    }},
    {u"tab_appearance", {
        u"Appearance",
        u"外观",
        u"Apparence",
        u"Apariencia",
        u"Erscheinungs\u00ADbild",
        u"Aspetto",
        u"Wygląd",
        u"外観"
    }},
    {u"tab_blocker", {
        u"App Blocker",
        u"应用屏蔽",
        u"Blocage d'apps",
        u"Bloqueo de apps",
        u"App-Blocker",
        u"Blocco app",
        u"Blokowanie aplikacji",
        u"アプリブロッカー"
    }},
    {u"tab_about", {
        u"About",
        u"关于",
        u"À propos",
        u"Acerca de",
        u"Über",
        u"Info",
        u"Informacje",
        u"情報"
    }},
    {u"launch_at_login", {
        u"Launch at Login",
        u"登录时启动",
        u"Lancer à l'ouverture de session",
        u"Abrir al iniciar sesión",
        u"Beim Anmelden starten",
        u"Apri al login",
        u"Uruchamiaj po zalogowaniu",
        u"ログイン時に起動"
    }},
    {u"show_menubar_icon", {
        u"Show Tray Icon",
        u"在系统托盘中显示图标",
        u"Afficher l'icône dans la zone de notification",
        u"Mostrar icono en la bandeja del sistema",
        u"Symbol im Infobereich anzeigen",
        u"Mostra icona nell'area di notifica",
        u"Pokazuj ikonę w zasobniku systemowym",
        u"システムトレイにアイコンを表示"
    }},
    {u"enable_global_switcher", {
        u"Global Window Switcher",
        u"全局窗口切换器",
        u"Sélecteur global de fenêtres",
        u"Selector global de ventanas",
        u"Globaler Fensterumschalter",
        u"Selettore globale delle finestre",
        u"Globalny przełącznik okien",
        u"グローバルウインドウスイッチャー"
    }},
    {u"global_shortcut", {
        u"Customize Shortcut",
        u"自定义快捷键",
        u"Personnaliser le raccourci",
        u"Personalizar atajo",
        u"Kurzbefehl anpassen",
        u"Personalizza abbreviazione",
        u"Dostosuj skrót",
        u"ショートカットをカスタマイズ"
    }},
    {u"language_label", {
        u"Language",
        u"语言",
        u"Langue",
        u"Idioma",
        u"Sprache",
        u"Lingua",
        u"Język",
        u"言語"
    }},
    {u"ignore_single_window", {
        u"Ignore Single Window Apps",
        u"忽略只有一个窗口的应用",
        u"Ignorer les apps à fenêtre unique",
        u"Ignorar apps con una sola ventana",
        u"Apps mit nur einem Fenster ignorieren",
        u"Ignora app con una sola finestra",
        u"Ignoruj aplikacje z jednym oknem",
        u"ウインドウが1つだけのアプリを無視"
    }},
    {u"current_space_only", {
        u"Current Workspace Only",
        u"仅限当前工作区",
        u"Bureau actuel uniquement",
        u"Solo el escritorio actual",
        u"Nur aktuelle Arbeitsfläche",
        u"Solo l'area di lavoro attuale",
        u"Tylko bieżący obszar roboczy",
        u"現在のワークスペースのみ"
    }},
    {u"sort_minimized_last", {
        u"Sort Minimized to End",
        u"将最小化的窗口排在最后",
        u"Placer les fenêtres réduites à la fin",
        u"Mover ventanas minimizadas al final",
        u"Minimierte Fenster ans Ende sortieren",
        u"Ordina le finestre ridotte a icona in fondo",
        u"Minimalizowane okna na końcu",
        u"最小化したウインドウを最後に並べる"
    }},
    {u"hover_delay", {
        u"Hover Delay",
        u"悬停延迟",
        u"Délai de survol",
        u"Retardo al pasar el cursor",
        u"Verzögerung beim Darüberfahren",
        u"Ritardo al passaggio del puntatore",
        u"Opóźnienie po najechaniu",
        u"ホバー時の遅延"
    }},
    {u"response_speed", {
        u"Animation Speed",
        u"动画速度",
        u"Vitesse des animations",
        u"Velocidad de animación",
        u"Animationsgeschwindigkeit",
        u"Velocità animazioni",
        u"Szybkość animacji",
        u"アニメーションの速度"
    }},
    {u"bg_blur", {
        u"Background Blur",
        u"背景模糊",
        u"Flou d'arrière-plan",
        u"Desenfoque del fondo",
        u"Hintergrundunschärfe",
        u"Sfocatura dello sfondo",
        u"Rozmycie tła",
        u"背景のぼかし"
    }},
    {u"neon_effect", {
        u"Enable Neon Glow",
        u"启用霓虹光效",
        u"Activer la lueur néon",
        u"Activar brillo neón",
        u"Neon-Leuchten aktivieren",
        u"Attiva bagliore neon",
        u"Włącz neonową poświatę",
        u"ネオングローを有効にする"
    }},
    {u"enable_peeking", {
        u"Window Peeking (Beta)",
        u"窗口速览（Beta）",
        u"Aperçu furtif des fenêtres (bêta)",
        u"Vistazo rápido de ventanas (beta)",
        u"Fenster-Peek (Beta)",
        u"Sbirciata delle finestre (beta)",
        u"Podglądanie okien (beta)",
        u"ウインドウのピーク表示（ベータ）"
    }},
    {u"enable_snap_haptic", {
        u"Haptic Feedback on Snap",
        u"贴靠时提供触感反馈",
        u"Retour haptique lors de l'ancrage",
        u"Respuesta háptica al acoplar",
        u"Haptisches Feedback beim Einrasten",
        u"Feedback aptico all'aggancio",
        u"Reakcja haptyczna przy przyciąganiu",
        u"スナップ時に触覚フィードバック"
    }},
    {u"enable_snap_sound", {
        u"Sound Effect on Snap",
        u"贴靠时播放音效",
        u"Effet sonore lors de l'ancrage",
        u"Efecto de sonido al acoplar",
        u"Toneffekt beim Einrasten",
        u"Effetto sonoro all'aggancio",
        u"Dźwięk przy przyciąganiu",
        u"スナップ時に効果音を再生"
    }},
    {u"enable_module_hotkeys", {
        u"Independent Module Hotkeys",
        u"独立模块快捷键",
        u"Raccourcis de module indépendants",
        u"Atajos independientes por módulo",
        u"Eigene Kurzbefehle für Module",
        u"Abbreviazioni indipendenti per modulo",
        u"Osobne skróty modułów",
        u"モジュールごとのショートカット"
    }},
    {u"clipboard_hotkey", {
        u"Clipboard Hotkey",
        u"剪贴板快捷键",
        u"Raccourci du presse-papiers",
        u"Atajo del portapapeles",
        u"Kurzbefehl für die Zwischenablage",
        u"Abbreviazione per gli appunti",
        u"Skrót schowka",
        u"クリップボードのショートカット"
    }},
    {u"shelf_hotkey", {
        u"File Shelf Hotkey",
        u"文件架快捷键",
        u"Raccourci de l'étagère de fichiers",
        u"Atajo del estante de archivos",
        u"Kurzbefehl für das Dateiregal",
        u"Abbreviazione per il ripiano file",
        u"Skrót półki plików",
        u"ファイルシェルフのショートカット"
    }},
    {u"popup_edge", {
        u"Popup Edge",
        u"弹出位置",
        u"Bord d'apparition du panneau",
        u"Borde del panel emergente",
        u"Bildschirmrand für Pop-ups",
        u"Bordo del pannello a comparsa",
        u"Krawędź panelu wysuwanego",
        u"ポップアップを表示する端"
    }},
    {u"edge_top", {
        u"Top",
        u"顶部",
        u"Haut",
        u"Arriba",
        u"Oben",
        u"In alto",
        u"Górna",
        u"上"
    }},
    {u"edge_bottom", {
        u"Bottom",
        u"底部",
        u"Bas",
        u"Abajo",
        u"Unten",
        u"In basso",
        u"Dolna",
        u"下"
    }},
    {u"edge_left", {
        u"Left",
        u"左侧",
        u"Gauche",
        u"Izquierda",
        u"Links",
        u"A sinistra",
        u"Lewa",
        u"左"
    }},
    {u"edge_right", {
        u"Right",
        u"右侧",
        u"Droite",
        u"Derecha",
        u"Rechts",
        u"A destra",
        u"Prawa",
        u"右"
    }},
    {u"advanced_hotkeys_layout", {
        u"Advanced Hotkeys & Layout",
        u"高级快捷键与布局",
        u"Raccourcis avancés et disposition",
        u"Atajos avanzados y disposición",
        u"Erweiterte Kurzbefehle & Layout",
        u"Abbreviazioni avanzate e layout",
        u"Zaawansowane skróty i układ",
        u"詳細なショートカットとレイアウト"
    }},
    {u"record", {
        u"Record",
        u"录制",
        u"Enregistrer",
        u"Grabar",
        u"Aufnehmen",
        u"Registra",
        u"Nagraj",
        u"記録"
    }},
    {u"mask_sensitive_title", {
        u"Mask Sensitive Information",
        u"隐藏敏感信息",
        u"Masquer les informations sensibles",
        u"Ocultar información confidencial",
        u"Vertrauliche Informationen maskieren",
        u"Maschera le informazioni sensibili",
        u"Maskuj poufne informacje",
        u"機密情報をマスク"
    }},
    {u"mask_sensitive_desc", {
        u"Automatically hide passwords and protected content in the clipboard history with red dots to protect your privacy.",
        u"自动用红点遮盖剪贴板历史中的密码和受保护内容，保护你的隐私。",
        u"Masque automatiquement par des points rouges les mots de passe et les contenus protégés de l'historique du presse-papiers pour protéger votre vie privée.",
        u"Oculta automáticamente con puntos rojos las contraseñas y el contenido protegido del historial del portapapeles para proteger tu privacidad.",
        u"Verbirgt Passwörter und geschützte Inhalte im Verlauf der Zwischenablage automatisch hinter roten Punkten, um deine Privatsphäre zu schützen.",
        u"Nasconde automaticamente con punti rossi le password e i contenuti protetti nella cronologia degli appunti per proteggere la tua privacy.",
        u"Automatycznie ukrywa hasła i chronione treści w historii schowka pod czerwonymi kropkami, aby chronić Twoją prywatność.",
        u"プライバシーを守るため、クリップボード履歴内のパスワードや保護されたコンテンツを赤い点で自動的に隠します。"
    }},
    {u"blocker_desc", {
        u"Apps in this list will be ignored by Quorvantis.",
        u"Quorvantis 将忽略此列表中的应用。",
        u"Les apps de cette liste seront ignorées par Quorvantis.",
        u"Quorvantis ignorará las apps de esta lista.",
        u"Apps in dieser Liste werden von Quorvantis ignoriert.",
        u"Le app in questo elenco verranno ignorate da Quorvantis.",
        u"Aplikacje z tej listy będą ignorowane przez Quorvantis.",
        u"このリストにあるアプリは Quorvantis で無視されます。"
    }},
    {u"no_blocked_apps", {
        u"No apps blocked",
        u"没有已屏蔽的应用",
        u"Aucune app bloquée",
        u"No hay apps bloqueadas",
        u"Keine Apps blockiert",
        u"Nessuna app bloccata",
        u"Brak zablokowanych aplikacji",
        u"ブロック中のアプリはありません"
    }},
    {u"visit_website", {
        u"Visit Official Website",
        u"访问官方网站",
        u"Visiter le site officiel",
        u"Visitar el sitio web oficial",
        u"Offizielle Website besuchen",
        u"Visita il sito ufficiale",
        u"Odwiedź oficjalną stronę",
        u"公式ウェブサイトを開く"
    }},
    {u"permissions_title", {
        u"Required Permissions",
        u"所需权限",
        u"Autorisations requises",
        u"Permisos necesarios",
        u"Erforderliche Berechtigungen",
        u"Autorizzazioni richieste",
        u"Wymagane uprawnienia",
        u"必要なアクセス権"
    }},
    {u"perm_screen_recording", {
        u"Screen Recording",
        u"屏幕录制",
        u"Enregistrement de l'écran",
        u"Grabación de pantalla",
        u"Bildschirmaufnahme",
        u"Registrazione schermo",
        u"Nagrywanie ekranu",
        u"画面収録"
    }},
    {u"perm_accessibility", {
        u"Accessibility",
        u"辅助功能",
        u"Accessibilité",
        u"Accesibilidad",
        u"Bedienungshilfen",
        u"Accessibilità",
        u"Dostępność",
        u"アクセシビリティ"
    }},
    {u"perm_screen_desc", {
        u"Required to capture window previews.",
        u"用于捕获窗口预览。",
        u"Nécessaire pour capturer les aperçus des fenêtres.",
        u"Necesaria para capturar las vistas previas de las ventanas.",
        u"Erforderlich, um Fenstervorschauen aufzunehmen.",
        u"Necessaria per acquisire le anteprime delle finestre.",
        u"Wymagane do przechwytywania podglądów okien.",
        u"ウインドウのプレビューを取得するために必要です。"
    }},
    {u"perm_access_desc", {
        u"Required to detect the panel and windows.",
        u"用于检测面板和窗口。",
        u"Nécessaire pour détecter le panneau et les fenêtres.",
        u"Necesaria para detectar el panel y las ventanas.",
        u"Erforderlich, um Leiste und Fenster zu erkennen.",
        u"Necessaria per rilevare il pannello e le finestre.",
        u"Wymagane do wykrywania panelu i okien.",
        u"パネルとウインドウを検出するために必要です。"
    }},
    {u"privacy_note", {
        u"All data processed locally. No internet used.",
        u"所有数据均在本地处理，不使用互联网。",
        u"Toutes les données sont traitées localement. Aucune connexion à Internet.",
        u"Todos los datos se procesan localmente. No se usa Internet.",
        u"Alle Daten werden lokal verarbeitet. Es wird kein Internet verwendet.",
        u"Tutti i dati vengono elaborati localmente. Nessun uso di Internet.",
        u"Wszystkie dane są przetwarzane lokalnie. Bez użycia internetu.",
        u"すべてのデータはローカルで処理されます。インターネットは使用しません。"
    }},
    {u"window_count_one", {
        u"1 Window",
        u"1 个窗口",
        u"1 fenêtre",
        u"1 ventana",
        u"1 Fenster",
        u"1 finestra",
        u"1 okno",
        u"1 個のウインドウ"
    }},
    {u"window_count_many", {
        u"Windows",
        u"个窗口",
        u"fenêtres",
        u"ventanas",
        u"Fenster",
        u"finestre",
        u"okna",
        u"個のウインドウ"
    }},
    {u"no_windows", {
        u"No windows available",
        u"没有可用的窗口",
        u"Aucune fenêtre disponible",
        u"No hay ventanas disponibles",
        u"Keine Fenster verfügbar",
        u"Nessuna finestra disponibile",
        u"Brak dostępnych okien",
        u"利用できるウインドウはありません"
    }},
    {u"perm_required_title", {
        u"Screen Recording & Accessibility required",
        u"需要屏幕录制和辅助功能权限",
        u"Enregistrement de l'écran et Accessibilité requis",
        u"Se requieren Grabación de pantalla y Accesibilidad",
        u"Bildschirmaufnahme & Bedienungshilfen erforderlich",
        u"Registrazione schermo e Accessibilità necessarie",
        u"Wymagane: Nagrywanie ekranu i Dostępność",
        u"画面収録とアクセシビリティの許可が必要です"
    }},
    {u"perm_required_desc", {
        u"Please allow Quorvantis in your desktop's settings",
        u"请在桌面环境的设置中允许 Quorvantis",
        u"Veuillez autoriser Quorvantis dans les paramètres de votre bureau",
        u"Autoriza Quorvantis en la configuración de tu escritorio",
        u"Bitte erlaube Quorvantis in den Einstellungen deiner Arbeitsumgebung",
        u"Consenti l'accesso a Quorvantis nelle impostazioni del tuo desktop",
        u"Zezwól na dostęp dla Quorvantis w ustawieniach Twojego środowiska graficznego",
        u"デスクトップの設定で Quorvantis を許可してください"
    }},
    {u"search_windows", {
        u"Search windows...",
        u"搜索窗口...",
        u"Rechercher des fenêtres...",
        u"Buscar ventanas...",
        u"Fenster suchen ...",
        u"Cerca finestre...",
        u"Szukaj okien...",
        u"ウインドウを検索..."
    }},
    {u"no_windows_found", {
        u"No windows found",
        u"未找到窗口",
        u"Aucune fenêtre trouvée",
        u"No se encontraron ventanas",
        u"Keine Fenster gefunden",
        u"Nessuna finestra trovata",
        u"Nie znaleziono okien",
        u"ウインドウが見つかりません"
    }},
    {u"press_esc", {
        u"Press Esc to close",
        u"按 Esc 关闭",
        u"Appuyez sur Esc pour fermer",
        u"Pulsa Esc para cerrar",
        u"Zum Schließen Esc drücken",
        u"Premi Esc per chiudere",
        u"Naciśnij Esc, aby zamknąć",
        u"Esc キーで閉じる"
    }},
    {u"ctx_snap_left", {
        u"Snap Left",
        u"贴靠到左侧",
        u"Ancrer à gauche",
        u"Acoplar a la izquierda",
        u"Links einrasten",
        u"Aggancia a sinistra",
        u"Przyciągnij do lewej",
        u"左側にスナップ"
    }},
    {u"ctx_snap_right", {
        u"Snap Right",
        u"贴靠到右侧",
        u"Ancrer à droite",
        u"Acoplar a la derecha",
        u"Rechts einrasten",
        u"Aggancia a destra",
        u"Przyciągnij do prawej",
        u"右側にスナップ"
    }},
    {u"ctx_focus", {
        u"Bring to Front",
        u"移到最前面",
        u"Mettre au premier plan",
        u"Traer al frente",
        u"In den Vordergrund holen",
        u"Porta in primo piano",
        u"Przenieś na wierzch",
        u"最前面に移動"
    }},
    {u"ctx_minimize", {
        u"Minimize",
        u"最小化",
        u"Réduire",
        u"Minimizar",
        u"Minimieren",
        u"Riduci a icona",
        u"Minimalizuj",
        u"最小化"
    }},
    {u"ctx_maximize", {
        u"Maximize",
        u"最大化",
        u"Agrandir",
        u"Maximizar",
        u"Maximieren",
        u"Ingrandisci",
        u"Maksymalizuj",
        u"最大化"
    }},
    {u"ctx_close", {
        u"Close Window",
        u"关闭窗口",
        u"Fermer la fenêtre",
        u"Cerrar ventana",
        u"Fenster schließen",
        u"Chiudi finestra",
        u"Zamknij okno",
        u"ウインドウを閉じる"
    }},
    {u"ctx_hide_app", {
        u"Hide from Preview",
        u"从预览中隐藏",
        u"Masquer des aperçus",
        u"Ocultar de la vista previa",
        u"In der Vorschau ausblenden",
        u"Nascondi dall'anteprima",
        u"Ukryj w podglądzie",
        u"プレビューに表示しない"
    }},
    {u"focus_mode_help", {
        u"Focus: hide other apps",
        u"专注：隐藏其他应用",
        u"Focus : masquer les autres apps",
        u"Enfoque: ocultar otras apps",
        u"Fokus: andere Apps ausblenden",
        u"Focus: nascondi le altre app",
        u"Skupienie: ukryj inne aplikacje",
        u"フォーカス：ほかのアプリを隠す"
    }},
    {u"tab_diagnostics", {
        u"Diagnostics",
        u"诊断",
        u"Diagnostic",
        u"Diagnóstico",
        u"Diagnose",
        u"Diagnostica",
        u"Diagnostyka",
        u"診断"
    }},
    {u"settings_not_saved", {
        u"This change could not be saved. The previous setting is still in effect.",
        u"无法保存此更改，仍沿用之前的设置。",
        u"Impossible d'enregistrer cette modification. Le réglage précédent reste en vigueur.",
        u"No se pudo guardar este cambio. Se mantiene el ajuste anterior.",
        u"Diese Änderung konnte nicht gespeichert werden. Die vorherige Einstellung bleibt aktiv.",
        u"Impossibile salvare questa modifica. Resta valida l'impostazione precedente.",
        u"Nie udało się zapisać tej zmiany. Obowiązuje nadal poprzednie ustawienie.",
        u"この変更を保存できませんでした。以前の設定がそのまま有効です。"
    }},
    {u"diag_toggle", {
        u"Diagnostics / Self-Test",
        u"诊断 / 自检",
        u"Diagnostic / autotest",
        u"Diagnóstico / autoprueba",
        u"Diagnose / Selbsttest",
        u"Diagnostica / autotest",
        u"Diagnostyka / autotest",
        u"診断 / セルフテスト"
    }},
    {u"diag_desc", {
        u"Records events to ~/.local/state/Quorvantis/ for troubleshooting. No private data is captured.",
        u"将事件记录到 ~/.local/state/Quorvantis/ 以便排查问题。不会采集任何隐私数据。",
        u"Enregistre les événements dans ~/.local/state/Quorvantis/ pour faciliter le dépannage. Aucune donnée personnelle n'est collectée.",
        u"Registra eventos en ~/.local/state/Quorvantis/ para solucionar problemas. No se recopilan datos privados.",
        u"Zeichnet Ereignisse zur Fehlersuche in ~/.local/state/Quorvantis/ auf. Es werden keine privaten Daten erfasst.",
        u"Registra gli eventi in ~/.local/state/Quorvantis/ per la risoluzione dei problemi. Non vengono raccolti dati privati.",
        u"Zapisuje zdarzenia w ~/.local/state/Quorvantis/ w celu rozwiązywania problemów. Żadne prywatne dane nie są gromadzone.",
        u"トラブルシューティングのため、イベントを ~/.local/state/Quorvantis/ に記録します。個人データは収集されません。"
    }},
    {u"diag_export", {
        u"Export Diagnostics",
        u"导出诊断信息",
        u"Exporter le diagnostic",
        u"Exportar diagnóstico",
        u"Diagnose exportieren",
        u"Esporta diagnostica",
        u"Eksportuj diagnostykę",
        u"診断情報を書き出す"
    }},
    {u"diag_log_files", {
        u"Log Files",
        u"日志文件",
        u"Fichiers journaux",
        u"Archivos de registro",
        u"Protokolldateien",
        u"File di log",
        u"Pliki dziennika",
        u"ログファイル"
    }},
    {u"diag_buffered_events", {
        u"Buffered Events",
        u"缓冲的事件",
        u"Événements en mémoire tampon",
        u"Eventos en búfer",
        u"Gepufferte Ereignisse",
        u"Eventi nel buffer",
        u"Zdarzenia w buforze",
        u"バッファ内のイベント"
    }},
    {u"ob_welcome", {
        u"Welcome to Quorvantis",
        u"欢迎使用 Quorvantis",
        u"Bienvenue dans Quorvantis",
        u"Te damos la bienvenida a Quorvantis",
        u"Willkommen bei Quorvantis",
        u"Benvenuto in Quorvantis",
        u"Witamy w Quorvantis",
        u"Quorvantis へようこそ"
    }},
    {u"ob_welcome_desc", {
        u"Supercharge your panel with live window previews\nand instant window management.",
        u"实时窗口预览与即时窗口管理，\n让你的面板如虎添翼。",
        u"Dopez votre panneau avec des aperçus de fenêtres en direct\net une gestion instantanée des fenêtres.",
        u"Potencia tu panel con vistas previas de ventanas en tiempo real\ny gestión instantánea de ventanas.",
        u"Mehr aus deiner Leiste: Live-Vorschauen deiner Fenster\nund Fensterverwaltung auf Knopfdruck.",
        u"Potenzia il tuo pannello con anteprime delle finestre in tempo reale\ne gestione istantanea delle finestre.",
        u"Wzmocnij swój panel dzięki podglądom okien na żywo\ni błyskawicznemu zarządzaniu oknami.",
        u"ライブのウインドウプレビューと瞬時のウインドウ管理で、\nパネルをさらに便利に。"
    }},
    {u"ob_get_started", {
        u"Get Started",
        u"开始使用",
        u"Commencer",
        u"Empezar",
        u"Los geht's",
        u"Inizia",
        u"Rozpocznij",
        u"はじめる"
    }},
    {u"ob_screen_recording", {
        u"Screen Recording",
        u"屏幕录制",
        u"Enregistrement de l'écran",
        u"Grabación de pantalla",
        u"Bildschirmaufnahme",
        u"Registrazione schermo",
        u"Nagrywanie ekranu",
        u"画面収録"
    }},
    {u"ob_screen_desc", {
        u"Quorvantis needs to see your windows to generate live previews.",
        u"Quorvantis 需要查看你的窗口才能生成实时预览。",
        u"Quorvantis doit voir vos fenêtres pour générer des aperçus en direct.",
        u"Quorvantis necesita ver tus ventanas para generar vistas previas en tiempo real.",
        u"Quorvantis muss deine Fenster sehen können, um Live-Vorschauen zu erstellen.",
        u"Quorvantis deve poter vedere le tue finestre per generare anteprime in tempo reale.",
        u"Quorvantis musi widzieć Twoje okna, aby tworzyć podglądy na żywo.",
        u"ライブプレビューを生成するには、Quorvantis がウインドウを認識できる必要があります。"
    }},
    {u"ob_screen_desc_x11", {
        u"Live previews need the Composite extension of the X server. Start Quorvantis on a display that offers it.",
        u"实时预览需要 X 服务器的 Composite 扩展。请在提供该扩展的显示环境中启动 Quorvantis。",
        u"Les aperçus en direct nécessitent l'extension Composite du serveur X. Lancez Quorvantis sur un affichage qui la propose.",
        u"Las vistas previas en tiempo real necesitan la extensión Composite del servidor X. Inicia Quorvantis en una pantalla que la ofrezca.",
        u"Live-Vorschauen brauchen die Composite-Erweiterung des X-Servers. Starte Quorvantis auf einer Anzeige, die sie bietet.",
        u"Le anteprime in tempo reale richiedono l'estensione Composite del server X. Avvia Quorvantis su un display che la offra.",
        u"Podglądy na żywo wymagają rozszerzenia Composite serwera X. Uruchom Quorvantis na ekranie, który je udostępnia.",
        u"ライブプレビューには X サーバーの Composite 拡張が必要です。この拡張を備えたディスプレイで Quorvantis を起動してください。"
    }},
    {u"ob_accessibility", {
        u"Accessibility",
        u"辅助功能",
        u"Accessibilité",
        u"Accesibilidad",
        u"Bedienungshilfen",
        u"Accessibilità",
        u"Dostępność",
        u"アクセシビリティ"
    }},
    {u"ob_access_desc", {
        u"Required to detect which app you are hovering over in the panel.",
        u"用于检测指针悬停在面板中的哪个应用上。",
        u"Nécessaire pour détecter l'app survolée dans le panneau.",
        u"Necesaria para detectar sobre qué app del panel estás pasando el cursor.",
        u"Erforderlich, um zu erkennen, über welcher App in der Leiste sich der Zeiger befindet.",
        u"Necessaria per rilevare l'app del pannello su cui si trova il puntatore.",
        u"Wymagane do wykrywania, nad którą aplikacją w panelu znajduje się wskaźnik.",
        u"パネル内でポインタを重ねているアプリを検出するために必要です。"
    }},
    {u"ob_access_desc_x11", {
        u"Previews beside the panel's buttons need a window manager that follows EWMH and a panel on the accessibility bus (xfce4-panel, mate-panel, lxpanel). Desktop sessions start the bus; elsewhere run /usr/libexec/at-spi-bus-launcher --launch-immediately.",
        u"面板按钮旁的预览需要一个遵循 EWMH 的窗口管理器，以及一个在辅助功能总线上的面板（xfce4-panel、mate-panel、lxpanel）。桌面会话会启动该总线；否则请运行 /usr/libexec/at-spi-bus-launcher --launch-immediately。",
        u"Les aperçus à côté des boutons du panneau nécessitent un gestionnaire de fenêtres conforme à EWMH et un panneau sur le bus d'accessibilité (xfce4-panel, mate-panel, lxpanel). Les sessions de bureau démarrent ce bus ; sinon, lancez /usr/libexec/at-spi-bus-launcher --launch-immediately.",
        u"Las vistas previas junto a los botones del panel necesitan un gestor de ventanas que siga EWMH y un panel en el bus de accesibilidad (xfce4-panel, mate-panel, lxpanel). Las sesiones de escritorio inician ese bus; si no, ejecuta /usr/libexec/at-spi-bus-launcher --launch-immediately.",
        u"Vorschauen neben den Schaltflächen der Leiste brauchen einen Fenstermanager, der EWMH folgt, und eine Leiste am Barrierefreiheits-Bus (xfce4-panel, mate-panel, lxpanel). Desktop-Sitzungen starten diesen Bus; sonst führe /usr/libexec/at-spi-bus-launcher --launch-immediately aus.",
        u"Le anteprime accanto ai pulsanti del pannello richiedono un window manager conforme a EWMH e un pannello sul bus di accessibilità (xfce4-panel, mate-panel, lxpanel). Le sessioni desktop avviano questo bus; altrimenti esegui /usr/libexec/at-spi-bus-launcher --launch-immediately.",
        u"Podglądy obok przycisków panelu wymagają menedżera okien zgodnego z EWMH oraz panelu na magistrali dostępności (xfce4-panel, mate-panel, lxpanel). Sesje pulpitu uruchamiają tę magistralę; w przeciwnym razie uruchom /usr/libexec/at-spi-bus-launcher --launch-immediately.",
        u"パネルのボタン横のプレビューには、EWMH に準拠したウインドウマネージャーと、アクセシビリティバス上のパネル（xfce4-panel、mate-panel、lxpanel）が必要です。デスクトップセッションはこのバスを起動します。それ以外では /usr/libexec/at-spi-bus-launcher --launch-immediately を実行してください。"
    }},
    {u"ob_privacy_screen", {
        u"Your screen content stays on this computer. Nothing is uploaded or shared.",
        u"你的屏幕内容只保留在这台电脑上，不会上传或共享任何内容。",
        u"Le contenu de votre écran reste sur cet ordinateur. Rien n'est envoyé ni partagé.",
        u"El contenido de tu pantalla se queda en este ordenador. No se sube ni se comparte nada.",
        u"Deine Bildschirminhalte bleiben auf diesem Computer. Es wird nichts hochgeladen oder geteilt.",
        u"Il contenuto dello schermo resta su questo computer. Nulla viene caricato o condiviso.",
        u"Zawartość ekranu pozostaje na tym komputerze. Nic nie jest wysyłane ani udostępniane.",
        u"画面の内容はこのコンピュータ上にとどまります。アップロードや共有は一切行われません。"
    }},
    {u"ob_privacy_access", {
        u"Used only for local panel and window detection. Processing stays on this computer.",
        u"仅用于在本地检测面板和窗口，所有处理都在这台电脑上完成。",
        u"Utilisé uniquement pour détecter localement le panneau et les fenêtres. Le traitement reste sur cet ordinateur.",
        u"Solo se usa para detectar localmente el panel y las ventanas. El procesamiento se queda en este ordenador.",
        u"Wird nur zur lokalen Erkennung von Leiste und Fenstern verwendet. Die Verarbeitung bleibt auf diesem Computer.",
        u"Usata solo per rilevare localmente il pannello e le finestre. L'elaborazione resta su questo computer.",
        u"Używane wyłącznie do lokalnego wykrywania panelu i okien. Przetwarzanie odbywa się na tym komputerze.",
        u"パネルとウインドウをローカルで検出するためにのみ使用されます。処理はこのコンピュータ上で完結します。"
    }},
    {u"ob_input_monitoring", {
        u"Input Monitoring",
        u"输入监控",
        u"Surveillance de l'entrée",
        u"Monitorización de entrada",
        u"Eingabeüberwachung",
        u"Monitoraggio input",
        u"Monitorowanie wprowadzania",
        u"入力監視"
    }},
    {u"ob_input_desc", {
        u"Required for global shortcuts like Alt+Tab to work seamlessly in the background.",
        u"全局快捷键（如 Alt+Tab）需要此权限才能在后台顺畅运行。",
        u"Nécessaire pour que les raccourcis globaux comme Alt+Tab fonctionnent parfaitement en arrière-plan.",
        u"Necesaria para que los atajos globales como Alt+Tab funcionen sin problemas en segundo plano.",
        u"Erforderlich, damit globale Kurzbefehle wie Alt+Tab im Hintergrund reibungslos funktionieren.",
        u"Necessario perché le abbreviazioni globali come Alt+Tab funzionino senza problemi in background.",
        u"Wymagane, aby globalne skróty, takie jak Alt+Tab, działały płynnie w tle.",
        u"Alt+Tab などのグローバルショートカットをバックグラウンドでスムーズに動作させるために必要です。"
    }},
    {u"ob_input_desc_x11", {
        u"Global shortcuts like Alt+Tab need the XInput 2 extension of the X server.",
        u"Alt+Tab 等全局快捷键需要 X 服务器的 XInput 2 扩展。",
        u"Les raccourcis globaux comme Alt+Tab nécessitent l'extension XInput 2 du serveur X.",
        u"Los atajos globales como Alt+Tab necesitan la extensión XInput 2 del servidor X.",
        u"Globale Kurzbefehle wie Alt+Tab brauchen die XInput 2-Erweiterung des X-Servers.",
        u"Le abbreviazioni globali come Alt+Tab richiedono l'estensione XInput 2 del server X.",
        u"Globalne skróty, takie jak Alt+Tab, wymagają rozszerzenia XInput 2 serwera X.",
        u"Alt+Tab などのグローバルショートカットには、X サーバーの XInput 2 拡張が必要です。"
    }},
    {u"ob_granted", {
        u"Permission Granted",
        u"已授权",
        u"Autorisation accordée",
        u"Permiso concedido",
        u"Berechtigung erteilt",
        u"Autorizzazione concessa",
        u"Przyznano uprawnienie",
        u"許可されました"
    }},
    {u"ob_continue", {
        u"Continue",
        u"继续",
        u"Continuer",
        u"Continuar",
        u"Weiter",
        u"Continua",
        u"Dalej",
        u"続ける"
    }},
    {u"ob_open_settings", {
        u"Open Desktop Settings",
        u"打开桌面设置",
        u"Ouvrir les paramètres du bureau",
        u"Abrir la configuración del escritorio",
        u"Einstellungen der Arbeitsumgebung öffnen",
        u"Apri le impostazioni del desktop",
        u"Otwórz ustawienia środowiska graficznego",
        u"デスクトップの設定を開く"
    }},
    {u"ob_ready", {
        u"You're All Set!",
        u"一切就绪！",
        u"Tout est prêt !",
        u"¡Todo listo!",
        u"Alles bereit!",
        u"Tutto pronto!",
        u"Wszystko gotowe!",
        u"準備完了！"
    }},
    {u"ob_ready_desc", {
        u"Hover over any app in your panel to see the magic.\nUse Alt + Tab to switch windows instantly.",
        u"将指针悬停在面板中的任意应用上，见证神奇效果。\n使用 Alt + Tab 即可瞬间切换窗口。",
        u"Survolez n'importe quelle app de votre panneau pour voir la magie opérer.\nUtilisez Alt + Tab pour changer de fenêtre instantanément.",
        u"Pasa el cursor sobre cualquier app de tu panel y descubre la magia.\nUsa Alt + Tab para cambiar de ventana al instante.",
        u"Fahre mit dem Zeiger über eine beliebige App in deiner Leiste und erlebe die Magie.\nMit Alt + Tab wechselst du sofort zwischen Fenstern.",
        u"Passa il puntatore su un'app qualsiasi nel tuo pannello per vedere la magia.\nUsa Alt + Tab per passare da una finestra all'altra all'istante.",
        u"Najedź wskaźnikiem na dowolną aplikację w swoim panelu i zobacz magię w akcji.\nUżyj Alt + Tab, aby błyskawicznie przełączać okna.",
        u"パネルのアプリにポインタを重ねると、魔法が始まります。\nAlt + Tab でウインドウを瞬時に切り替えられます。"
    }},
    {u"ob_start_btn", {
        u"Start Using Quorvantis",
        u"开始使用 Quorvantis",
        u"Commencer à utiliser Quorvantis",
        u"Empezar a usar Quorvantis",
        u"Mit Quorvantis loslegen",
        u"Inizia a usare Quorvantis",
        u"Zacznij korzystać z Quorvantis",
        u"Quorvantis を使い始める"
    }},
    {u"ob_skip", {
        u"Skip for Now",
        u"暂时跳过",
        u"Ignorer pour le moment",
        u"Omitir por ahora",
        u"Vorerst überspringen",
        u"Salta per ora",
        u"Na razie pomiń",
        u"今はスキップ"
    }},
    {u"ob_restart_hint", {
        u"Screen Recording may require restarting Quorvantis to take effect.",
        u"屏幕录制权限可能需要重启 Quorvantis 后才能生效。",
        u"L'Enregistrement de l'écran peut nécessiter un redémarrage de Quorvantis pour prendre effet.",
        u"Puede que tengas que reiniciar Quorvantis para que Grabación de pantalla surta efecto.",
        u"Damit die Bildschirmaufnahme wirksam wird, muss Quorvantis eventuell neu gestartet werden.",
        u"Potrebbe essere necessario riavviare Quorvantis perché la Registrazione schermo abbia effetto.",
        u"Aby uprawnienie Nagrywanie ekranu zaczęło działać, może być konieczne ponowne uruchomienie Quorvantis.",
        u"画面収録を有効にするには、Quorvantis の再起動が必要な場合があります。"
    }},
    {u"ob_restart_app", {
        u"Restart Quorvantis",
        u"重启 Quorvantis",
        u"Redémarrer Quorvantis",
        u"Reiniciar Quorvantis",
        u"Quorvantis neu starten",
        u"Riavvia Quorvantis",
        u"Uruchom ponownie Quorvantis",
        u"Quorvantis を再起動"
    }},
    {u"move_title", {
        u"Move Quorvantis to Applications?",
        u"要将 Quorvantis 移到“应用程序”文件夹吗？",
        u"Déplacer Quorvantis vers Applications ?",
        u"¿Mover Quorvantis a Aplicaciones?",
        u"Quorvantis in den Ordner „Programme“ bewegen?",
        u"Spostare Quorvantis in Applicazioni?",
        u"Przenieść Quorvantis do folderu Aplikacje?",
        u"Quorvantis を“アプリケーション”フォルダに移動しますか？"
    }},
    {u"move_body", {
        u"Quorvantis works best when installed in your Applications folder. This helps with launching, updates, permissions, and overall reliability.",
        u"Quorvantis 安装在“应用程序”文件夹中时效果最佳。这有助于启动、更新、权限管理以及整体的可靠性。",
        u"Quorvantis fonctionne au mieux lorsqu'il est installé dans votre dossier Applications. Cela facilite le lancement, les mises à jour et les autorisations, et améliore la fiabilité générale.",
        u"Quorvantis funciona mejor si está instalado en la carpeta Aplicaciones. Esto facilita el inicio, las actualizaciones y los permisos, y mejora la fiabilidad general.",
        u"Quorvantis funktioniert am besten, wenn es im Ordner „Programme“ installiert ist. Das erleichtert Starten, Updates und Berechtigungen und verbessert die Zuverlässigkeit insgesamt.",
        u"Quorvantis funziona al meglio se installato nella cartella Applicazioni. Questo semplifica l'avvio, gli aggiornamenti e le autorizzazioni e migliora l'affidabilità generale.",
        u"Quorvantis działa najlepiej po zainstalowaniu w folderze Aplikacje. Ułatwia to uruchamianie, aktualizacje i nadawanie uprawnień oraz zwiększa ogólną niezawodność.",
        u"Quorvantis は“アプリケーション”フォルダにインストールすると最適に動作します。起動、アップデート、アクセス権の管理がスムーズになり、全体的な信頼性も向上します。"
    }},
    {u"move_btn", {
        u"Move to Applications",
        u"移到“应用程序”文件夹",
        u"Déplacer vers Applications",
        u"Mover a Aplicaciones",
        u"In „Programme“ bewegen",
        u"Sposta in Applicazioni",
        u"Przenieś do folderu Aplikacje",
        u"“アプリケーション”に移動"
    }},
    {u"move_not_now", {
        u"Not Now",
        u"以后再说",
        u"Plus tard",
        u"Ahora no",
        u"Nicht jetzt",
        u"Non ora",
        u"Nie teraz",
        u"今はしない"
    }},
    {u"move_quit", {
        u"Quit",
        u"退出",
        u"Quitter",
        u"Salir",
        u"Beenden",
        u"Esci",
        u"Zakończ",
        u"終了"
    }},
    {u"move_failed", {
        u"Could not move Quorvantis. Please drag it to Applications manually.",
        u"无法移动 Quorvantis。请手动将它拖到“应用程序”文件夹。",
        u"Impossible de déplacer Quorvantis. Faites-le glisser manuellement vers Applications.",
        u"No se ha podido mover Quorvantis. Arrástralo manualmente a Aplicaciones.",
        u"Quorvantis konnte nicht bewegt werden. Bitte ziehe es manuell in den Ordner „Programme“.",
        u"Impossibile spostare Quorvantis. Trascinalo manualmente in Applicazioni.",
        u"Nie można przenieść Quorvantis. Przeciągnij aplikację ręcznie do folderu Aplikacje.",
        u"Quorvantis を移動できませんでした。手動で“アプリケーション”フォルダにドラッグしてください。"
    }},
    {u"tab_guide", {
        u"Guide",
        u"指南",
        u"Guide",
        u"Guía",
        u"Anleitung",
        u"Guida",
        u"Przewodnik",
        u"ガイド"
    }},
    {u"tab_shortcuts", {
        u"Shortcuts",
        u"快捷键",
        u"Raccourcis",
        u"Atajos",
        u"Kurzbefehle",
        u"Abbreviazioni",
        u"Skróty",
        u"ショートカット"
    }},
    {u"shortcut_title", {
        u"Global Window Switcher",
        u"全局窗口切换器",
        u"Sélecteur global de fenêtres",
        u"Selector global de ventanas",
        u"Globaler Fensterumschalter",
        u"Selettore globale delle finestre",
        u"Globalny przełącznik okien",
        u"グローバルウインドウスイッチャー"
    }},
    {u"shortcut_desc", {
        u"Press your desired key combination below to set the global shortcut.",
        u"在下方按下你想要的组合键，以设置全局快捷键。",
        u"Appuyez ci-dessous sur la combinaison de touches souhaitée pour définir le raccourci global.",
        u"Pulsa abajo la combinación de teclas que quieras para definir el atajo global.",
        u"Drücke unten die gewünschte Tastenkombination, um den globalen Kurzbefehl festzulegen.",
        u"Premi qui sotto la combinazione di tasti desiderata per impostare l'abbreviazione globale.",
        u"Naciśnij poniżej wybraną kombinację klawiszy, aby ustawić globalny skrót.",
        u"下で希望のキーの組み合わせを押して、グローバルショートカットを設定します。"
    }},
    {u"shortcut_recording", {
        u"Press any key combination...",
        u"请按下任意组合键...",
        u"Appuyez sur une combinaison de touches...",
        u"Pulsa una combinación de teclas...",
        u"Beliebige Tastenkombination drücken ...",
        u"Premi una combinazione di tasti...",
        u"Naciśnij dowolną kombinację klawiszy...",
        u"任意のキーの組み合わせを押してください..."
    }},
    {u"shortcut_record_btn", {
        u"Record New Shortcut",
        u"录制新快捷键",
        u"Enregistrer un nouveau raccourci",
        u"Grabar nuevo atajo",
        u"Neuen Kurzbefehl aufnehmen",
        u"Registra nuova abbreviazione",
        u"Nagraj nowy skrót",
        u"新しいショートカットを記録"
    }},
    {u"shortcut_confirm", {
        u"Confirm",
        u"确认",
        u"Confirmer",
        u"Confirmar",
        u"Bestätigen",
        u"Conferma",
        u"Potwierdź",
        u"確定"
    }},
    {u"shortcut_cancel", {
        u"Cancel",
        u"取消",
        u"Annuler",
        u"Cancelar",
        u"Abbrechen",
        u"Annulla",
        u"Anuluj",
        u"キャンセル"
    }},
    {u"shortcut_held_elsewhere", {
        u"Another program holds this combination, so it cannot open Quorvantis. Record another one.",
        u"另一个程序占用了此组合键，因此它无法打开 Quorvantis。请录制另一个组合键。",
        u"Un autre programme utilise cette combinaison : elle ne peut pas ouvrir Quorvantis. Enregistrez-en une autre.",
        u"Otro programa usa esta combinación, así que no puede abrir Quorvantis. Graba otra.",
        u"Ein anderes Programm belegt diese Kombination, daher kann sie Quorvantis nicht öffnen. Nimm eine andere auf.",
        u"Un altro programma usa questa combinazione, quindi non può aprire Quorvantis. Registrane un'altra.",
        u"Inny program zajmuje tę kombinację, więc nie może ona otworzyć Quorvantis. Nagraj inną.",
        u"別のプログラムがこの組み合わせを使用しているため、Quorvantis を開けません。別の組み合わせを記録してください。"
    }},
    {u"shortcut_taken", {
        u"This combination already opens “%1”. Press another one.",
        u"此组合键已用于打开“%1”。请按其他组合键。",
        u"Cette combinaison ouvre déjà « %1 ». Appuyez sur une autre.",
        u"Esta combinación ya abre «%1». Pulsa otra.",
        u"Diese Kombination öffnet bereits „%1“. Drücke eine andere.",
        u"Questa combinazione apre già «%1». Premine un'altra.",
        u"Ta kombinacja otwiera już „%1”. Naciśnij inną.",
        u"この組み合わせはすでに「%1」を開きます。別の組み合わせを押してください。"
    }},
    {u"shortcut_tips_title", {
        u"Pro Tips",
        u"专业技巧",
        u"Astuces de pro",
        u"Consejos avanzados",
        u"Profi-Tipps",
        u"Suggerimenti avanzati",
        u"Porady dla zaawansowanych",
        u"上級者向けのヒント"
    }},
    {u"shortcut_tips_1", {
        u"• On most Linux desktops the window manager already uses Alt + Tab. Free it in the desktop's keyboard settings, or record another combination here.",
        u"• 在大多数 Linux 桌面上，窗口管理器已占用 Alt + Tab。请在桌面环境的键盘设置中释放它，或在此录制另一个组合键。",
        u"• Sur la plupart des bureaux Linux, le gestionnaire de fenêtres utilise déjà Alt + Tab. Libérez-le dans les paramètres du clavier de votre bureau ou enregistrez ici une autre combinaison.",
        u"• En la mayoría de los escritorios Linux, el gestor de ventanas ya usa Alt + Tab. Libéralo en la configuración de teclado de tu escritorio o graba aquí otra combinación.",
        u"• Auf den meisten Linux-Desktops belegt der Fenstermanager bereits Alt + Tab. Gib die Kombination in den Tastatureinstellungen deiner Arbeitsumgebung frei oder nimm hier eine andere auf.",
        u"• Sulla maggior parte dei desktop Linux il window manager usa già Alt + Tab. Libera questa combinazione nelle impostazioni della tastiera del tuo desktop oppure registrane qui un'altra.",
        u"• W większości środowisk graficznych systemu Linux menedżer okien już używa Alt + Tab. Zwolnij tę kombinację w ustawieniach klawiatury Twojego środowiska lub nagraj tutaj inną.",
        u"• ほとんどの Linux デスクトップでは、ウインドウマネージャーがすでに Alt + Tab を使用しています。デスクトップのキーボード設定で解放するか、ここで別の組み合わせを記録してください。"
    }},
    {u"shortcut_tips_2", {
        u"• Avoid using Ctrl + C / V to prevent overriding copy/paste functionality.",
        u"• 避免使用 Ctrl + C / V，以免覆盖复制/粘贴功能。",
        u"• Évitez Ctrl + C / V pour ne pas remplacer les fonctions copier/coller.",
        u"• Evita usar Ctrl + C / V para no anular las funciones de copiar y pegar.",
        u"• Vermeide Ctrl + C / V, damit Kopieren/Einfügen nicht überschrieben wird.",
        u"• Evita Ctrl + C / V per non sovrascrivere le funzioni copia/incolla.",
        u"• Unikaj Ctrl + C / V, aby nie zastąpić funkcji kopiowania i wklejania.",
        u"• コピー/ペースト機能を上書きしないよう、Ctrl + C / V の使用は避けてください。"
    }},
    {u"shortcut_tips_3", {
        u"• The shortcut works globally, even when Quorvantis is running in the background.",
        u"• 该快捷键全局有效，即使 Quorvantis 在后台运行也能使用。",
        u"• Le raccourci fonctionne partout, même lorsque Quorvantis s'exécute en arrière-plan.",
        u"• El atajo funciona en todo el sistema, incluso cuando Quorvantis se ejecuta en segundo plano.",
        u"• Der Kurzbefehl funktioniert systemweit, auch wenn Quorvantis im Hintergrund läuft.",
        u"• L'abbreviazione funziona ovunque, anche quando Quorvantis è in esecuzione in background.",
        u"• Skrót działa globalnie, nawet gdy Quorvantis działa w tle.",
        u"• このショートカットは、Quorvantis がバックグラウンドで実行中でもシステム全体で機能します。"
    }},
    {u"guide_title", {
        u"Global Switcher",
        u"全局切换器",
        u"Sélecteur global",
        u"Selector global",
        u"Globaler Umschalter",
        u"Selettore globale",
        u"Globalny przełącznik",
        u"グローバルスイッチャー"
    }},
    {u"guide_subtitle", {
        u"A full-screen command center for every open window.",
        u"面向所有已打开窗口的全屏控制中心。",
        u"Un centre de commande plein écran pour toutes les fenêtres ouvertes.",
        u"Un centro de control a pantalla completa para todas las ventanas abiertas.",
        u"Eine Vollbild-Kommandozentrale für alle geöffneten Fenster.",
        u"Un centro di comando a schermo intero per tutte le finestre aperte.",
        u"Pełnoekranowe centrum dowodzenia dla wszystkich otwartych okien.",
        u"開いているすべてのウインドウを操作できる、フルスクリーンのコマンドセンター。"
    }},
    {u"guide_desc", {
        u"Press Alt + Tab anywhere to summon the Global Switcher overlay — a glassmorphism grid showing every open window across all apps and virtual desktops. Ghost windows are automatically filtered out.",
        u"在任意位置按下 Alt + Tab 即可呼出全局切换器浮层——一个玻璃拟态风格的网格，显示所有应用和虚拟桌面中每一个打开的窗口。幽灵窗口会被自动过滤。",
        u"Appuyez sur Alt + Tab n'importe où pour afficher le Sélecteur global — une grille en verre dépoli qui montre toutes les fenêtres ouvertes de toutes les apps et de tous les bureaux virtuels. Les fenêtres fantômes sont filtrées automatiquement.",
        u"Pulsa Alt + Tab en cualquier lugar para abrir el Selector global: una cuadrícula con efecto cristal que muestra todas las ventanas abiertas de todas las apps y escritorios virtuales. Las ventanas fantasma se filtran automáticamente.",
        u"Drücke überall Alt + Tab, um den globalen Umschalter einzublenden – ein Raster im Glas-Look mit allen geöffneten Fenstern aller Apps und virtuellen Desktops. Geisterfenster werden automatisch herausgefiltert.",
        u"Premi Alt + Tab ovunque per richiamare il Selettore globale: una griglia in stile vetro che mostra tutte le finestre aperte di tutte le app e di tutti i desktop virtuali. Le finestre fantasma vengono filtrate automaticamente.",
        u"Naciśnij Alt + Tab w dowolnym miejscu, aby przywołać nakładkę Globalnego przełącznika — siatkę w stylu szkła z każdym otwartym oknem ze wszystkich aplikacji i pulpitów wirtualnych. Okna widma są automatycznie odfiltrowywane.",
        u"どこからでも Alt + Tab を押すと、グローバルスイッチャーのオーバーレイが表示されます。すべてのアプリと仮想デスクトップで開いているウインドウを、すりガラス風のグリッドに一覧表示します。ゴーストウインドウは自動的に除外されます。"
    }},
    {u"guide_col_action", {
        u"ACTION",
        u"操作",
        u"ACTION",
        u"ACCIÓN",
        u"AKTION",
        u"AZIONE",
        u"CZYNNOŚĆ",
        u"操作"
    }},
    {u"guide_col_result", {
        u"RESULT",
        u"结果",
        u"RÉSULTAT",
        u"RESULTADO",
        u"ERGEBNIS",
        u"RISULTATO",
        u"EFEKT",
        u"結果"
    }},
    {u"guide_act_opt_tab", {
        u"Open the Global Switcher",
        u"打开全局切换器",
        u"Ouvrir le Sélecteur global",
        u"Abrir el Selector global",
        u"Globalen Umschalter öffnen",
        u"Apri il Selettore globale",
        u"Otwórz Globalny przełącznik",
        u"グローバルスイッチャーを開く"
    }},
    {u"guide_act_arrows", {
        u"Navigate between window cards",
        u"在窗口卡片之间移动",
        u"Naviguer entre les cartes de fenêtre",
        u"Moverse entre las tarjetas de ventana",
        u"Zwischen Fensterkarten navigieren",
        u"Spostati tra le schede delle finestre",
        u"Przechodź między kartami okien",
        u"ウインドウカード間を移動"
    }},
    {u"guide_act_enter", {
        u"Focus selected window (teleport to its workspace)",
        u"聚焦所选窗口（跳转到其所在工作区）",
        u"Activer la fenêtre sélectionnée (aller sur son bureau)",
        u"Activar la ventana seleccionada (saltar a su escritorio)",
        u"Ausgewähltes Fenster fokussieren (zu seiner Arbeitsfläche springen)",
        u"Attiva la finestra selezionata (passa alla sua area di lavoro)",
        u"Aktywuj zaznaczone okno (przejdź do jego obszaru roboczego)",
        u"選択したウインドウにフォーカス（そのワークスペースへ移動）"
    }},
    {u"guide_act_cmd_w", {
        u"Close the selected window",
        u"关闭所选窗口",
        u"Fermer la fenêtre sélectionnée",
        u"Cerrar la ventana seleccionada",
        u"Ausgewähltes Fenster schließen",
        u"Chiudi la finestra selezionata",
        u"Zamknij zaznaczone okno",
        u"選択したウインドウを閉じる"
    }},
    {u"guide_act_cmd_m", {
        u"Minimize the selected window",
        u"最小化所选窗口",
        u"Réduire la fenêtre sélectionnée",
        u"Minimizar la ventana seleccionada",
        u"Ausgewähltes Fenster minimieren",
        u"Riduci a icona la finestra selezionata",
        u"Minimalizuj zaznaczone okno",
        u"選択したウインドウを最小化"
    }},
    {u"guide_act_esc", {
        u"Dismiss without switching",
        u"关闭而不切换",
        u"Fermer sans changer de fenêtre",
        u"Cerrar sin cambiar de ventana",
        u"Schließen, ohne zu wechseln",
        u"Chiudi senza cambiare finestra",
        u"Zamknij bez przełączania",
        u"切り替えずに閉じる"
    }},
    {u"guide_info", {
        u"You can also type to search. Start typing any part of the window title or app name — the grid filters in real time.",
        u"你也可以直接输入进行搜索。输入窗口标题或应用名称的任意部分，网格会实时筛选。",
        u"Vous pouvez aussi taper pour rechercher. Saisissez une partie du titre de la fenêtre ou du nom de l'app — la grille se filtre en temps réel.",
        u"También puedes escribir para buscar. Empieza a escribir cualquier parte del título de la ventana o del nombre de la app y la cuadrícula se filtrará en tiempo real.",
        u"Du kannst auch einfach tippen, um zu suchen. Gib einen beliebigen Teil des Fenstertitels oder App-Namens ein – das Raster wird in Echtzeit gefiltert.",
        u"Puoi anche digitare per cercare. Inizia a scrivere una parte qualsiasi del titolo della finestra o del nome dell'app: la griglia si filtra in tempo reale.",
        u"Możesz też pisać, aby wyszukiwać. Zacznij wpisywać dowolną część tytułu okna lub nazwy aplikacji — siatka filtruje się na bieżąco.",
        u"入力して検索することもできます。ウインドウのタイトルやアプリ名の一部を入力し始めると、グリッドがリアルタイムで絞り込まれます。"
    }},
    {u"guide_clipboard_title", {
        u"Clipboard History",
        u"剪贴板历史",
        u"Historique du presse-papiers",
        u"Historial del portapapeles",
        u"Verlauf der Zwischenablage",
        u"Cronologia degli appunti",
        u"Historia schowka",
        u"クリップボード履歴"
    }},
    {u"guide_clipboard_desc", {
        u"Quorvantis automatically saves everything you copy — text, images, and files. Access your full clipboard history from the Super Panel and paste any previous item instantly.",
        u"Quorvantis 会自动保存你复制的所有内容——文本、图像和文件。在 Super Panel 中即可访问完整的剪贴板历史，并即时粘贴之前的任意项目。",
        u"Quorvantis enregistre automatiquement tout ce que vous copiez — texte, images et fichiers. Accédez à l'historique complet du presse-papiers depuis le Super Panel et collez instantanément n'importe quel élément précédent.",
        u"Quorvantis guarda automáticamente todo lo que copias: texto, imágenes y archivos. Accede a todo el historial del portapapeles desde el Super Panel y pega al instante cualquier elemento anterior.",
        u"Quorvantis speichert automatisch alles, was du kopierst – Text, Bilder und Dateien. Greife im Super Panel auf den gesamten Verlauf der Zwischenablage zu und füge frühere Einträge sofort ein.",
        u"Quorvantis salva automaticamente tutto ciò che copi: testo, immagini e file. Accedi alla cronologia completa degli appunti dal Super Panel e incolla subito qualsiasi elemento precedente.",
        u"Quorvantis automatycznie zapisuje wszystko, co kopiujesz — tekst, obrazy i pliki. Przeglądaj pełną historię schowka w panelu Super Panel i błyskawicznie wklejaj dowolny wcześniejszy element.",
        u"Quorvantis は、コピーしたテキスト、画像、ファイルをすべて自動的に保存します。Super Panel からクリップボード履歴全体にアクセスし、以前の項目をすぐにペーストできます。"
    }},
    {u"guide_shelf_title", {
        u"File Shelf",
        u"文件架",
        u"Étagère de fichiers",
        u"Estante de archivos",
        u"Dateiregal",
        u"Ripiano file",
        u"Półka plików",
        u"ファイルシェルフ"
    }},
    {u"guide_shelf_desc", {
        u"The Shelf is a temporary staging area for files. Drag files onto the Shelf from the file manager or other apps to keep them readily accessible. Quickly retrieve or drop them into any window later.",
        u"文件架是存放文件的临时中转区。从文件管理器或其他应用将文件拖到文件架上，即可随手取用。之后可以快速取回文件，或将其拖放到任意窗口中。",
        u"L'Étagère est une zone de transit temporaire pour vos fichiers. Faites glisser des fichiers sur l'Étagère depuis le gestionnaire de fichiers ou d'autres apps pour les garder à portée de main. Récupérez-les ou déposez-les ensuite rapidement dans n'importe quelle fenêtre.",
        u"El Estante es una zona de almacenamiento temporal para archivos. Arrastra archivos al Estante desde el gestor de archivos u otras apps para tenerlos siempre a mano. Más tarde, recupéralos o suéltalos rápidamente en cualquier ventana.",
        u"Das Regal ist eine temporäre Ablage für Dateien. Ziehe Dateien aus der Dateiverwaltung oder anderen Apps auf das Regal, um sie griffbereit zu haben. Später kannst du sie schnell wieder abrufen oder in ein beliebiges Fenster ziehen.",
        u"Il Ripiano è un'area di appoggio temporanea per i file. Trascina i file sul Ripiano dal file manager o da altre app per averli sempre a portata di mano. In seguito potrai recuperarli o rilasciarli rapidamente in qualsiasi finestra.",
        u"Półka to tymczasowe miejsce na pliki. Przeciągnij pliki na Półkę z menedżera plików lub innych aplikacji, aby mieć je zawsze pod ręką. Później możesz je szybko odzyskać lub upuścić w dowolnym oknie.",
        u"シェルフはファイルを一時的に置いておける場所です。ファイルマネージャーやほかのアプリからファイルをシェルフにドラッグしておけば、いつでもすぐに取り出せます。あとから素早く取り出したり、任意のウインドウにドロップしたりできます。"
    }},
    {u"guide_hotkeys_title", {
        u"Keyboard Shortcuts",
        u"键盘快捷键",
        u"Raccourcis clavier",
        u"Atajos de teclado",
        u"Tastaturkurzbefehle",
        u"Abbreviazioni da tastiera",
        u"Skróty klawiszowe",
        u"キーボードショートカット"
    }},
    {u"guide_hotkeys_desc", {
        u"Quorvantis is fully keyboard-driven. Use these shortcuts to access features instantly from anywhere on your desktop.",
        u"Quorvantis 完全支持键盘操作。使用这些快捷键，即可在桌面上的任何位置即时访问各项功能。",
        u"Quorvantis se pilote entièrement au clavier. Utilisez ces raccourcis pour accéder instantanément aux fonctionnalités, où que vous soyez sur votre bureau.",
        u"Quorvantis se controla por completo con el teclado. Usa estos atajos para acceder al instante a sus funciones desde cualquier lugar de tu escritorio.",
        u"Quorvantis lässt sich vollständig per Tastatur bedienen. Mit diesen Kurzbefehlen erreichst du alle Funktionen sofort, egal wo du dich auf deinem Desktop befindest.",
        u"Quorvantis si controlla interamente da tastiera. Usa queste abbreviazioni per accedere subito alle funzioni da qualsiasi punto del tuo desktop.",
        u"Quorvantis można w pełni obsługiwać z klawiatury. Użyj tych skrótów, aby błyskawicznie korzystać z funkcji w dowolnym miejscu na pulpicie.",
        u"Quorvantis はキーボードだけで操作できます。これらのショートカットを使えば、デスクトップのどこからでも各機能にすぐにアクセスできます。"
    }},
    {u"guide_act_opt_c", {
        u"Open Clipboard panel independently",
        u"单独打开剪贴板面板",
        u"Ouvrir le panneau Presse-papiers seul",
        u"Abrir el panel del portapapeles por separado",
        u"Zwischenablage-Panel separat öffnen",
        u"Apri il pannello Appunti separatamente",
        u"Otwórz osobno panel schowka",
        u"クリップボードパネルを単独で開く"
    }},
    {u"guide_act_opt_s", {
        u"Open File Shelf panel independently",
        u"单独打开文件架面板",
        u"Ouvrir le panneau Étagère de fichiers seul",
        u"Abrir el panel del estante de archivos por separado",
        u"Dateiregal-Panel separat öffnen",
        u"Apri il pannello Ripiano file separatamente",
        u"Otwórz osobno panel półki plików",
        u"ファイルシェルフパネルを単独で開く"
    }},
    {u"guide_act_opt_tab_full", {
        u"Open the Super Panel with all modules",
        u"打开包含所有模块的 Super Panel",
        u"Ouvrir le Super Panel avec tous les modules",
        u"Abrir el Super Panel con todos los módulos",
        u"Super Panel mit allen Modulen öffnen",
        u"Apri il Super Panel con tutti i moduli",
        u"Otwórz Super Panel ze wszystkimi modułami",
        u"すべてのモジュールを含む Super Panel を開く"
    }},
    {u"guide_snap_title", {
        u"Window Snap & Layout",
        u"窗口贴靠与布局",
        u"Ancrage et disposition des fenêtres",
        u"Acoplamiento y disposición de ventanas",
        u"Fenster einrasten & anordnen",
        u"Aggancio e layout delle finestre",
        u"Przyciąganie i układ okien",
        u"ウインドウのスナップとレイアウト"
    }},
    {u"guide_snap_desc", {
        u"Drag any window card in the Super Panel toward the screen edges to snap it into position. Drop zones appear automatically when dragging.",
        u"在 Super Panel 中将任意窗口卡片拖向屏幕边缘，即可将窗口贴靠到相应位置。拖移时会自动显示放置区域。",
        u"Faites glisser une carte de fenêtre du Super Panel vers un bord de l'écran pour ancrer la fenêtre à cet emplacement. Les zones de dépôt apparaissent automatiquement pendant le glissement.",
        u"Arrastra cualquier tarjeta de ventana del Super Panel hacia los bordes de la pantalla para acoplar la ventana en esa posición. Las zonas de destino aparecen automáticamente al arrastrar.",
        u"Ziehe eine beliebige Fensterkarte im Super Panel an einen Bildschirmrand, um das Fenster dort einrasten zu lassen. Beim Ziehen erscheinen automatisch Ablagezonen.",
        u"Trascina una scheda finestra del Super Panel verso i bordi dello schermo per agganciare la finestra in quella posizione. Le zone di rilascio compaiono automaticamente durante il trascinamento.",
        u"Przeciągnij dowolną kartę okna w panelu Super Panel w stronę krawędzi ekranu, aby przyciągnąć okno na miejsce. Podczas przeciągania automatycznie pojawiają się strefy upuszczania.",
        u"Super Panel のウインドウカードを画面の端に向かってドラッグすると、ウインドウがその位置にスナップします。ドラッグ中はドロップゾーンが自動的に表示されます。"
    }},
    {u"guide_snap_left", {
        u"Left edge → Snap to left half",
        u"左边缘 → 贴靠到左半屏",
        u"Bord gauche → Ancrer sur la moitié gauche",
        u"Borde izquierdo → Acoplar a la mitad izquierda",
        u"Linker Rand → In linker Hälfte einrasten",
        u"Bordo sinistro → Aggancia alla metà sinistra",
        u"Lewa krawędź → Przyciągnij do lewej połowy",
        u"左端 → 左半分にスナップ"
    }},
    {u"guide_snap_right", {
        u"Right edge → Snap to right half",
        u"右边缘 → 贴靠到右半屏",
        u"Bord droit → Ancrer sur la moitié droite",
        u"Borde derecho → Acoplar a la mitad derecha",
        u"Rechter Rand → In rechter Hälfte einrasten",
        u"Bordo destro → Aggancia alla metà destra",
        u"Prawa krawędź → Przyciągnij do prawej połowy",
        u"右端 → 右半分にスナップ"
    }},
    {u"guide_snap_top", {
        u"Top edge → Maximize window",
        u"上边缘 → 最大化窗口",
        u"Bord supérieur → Agrandir la fenêtre",
        u"Borde superior → Maximizar la ventana",
        u"Oberer Rand → Fenster maximieren",
        u"Bordo superiore → Ingrandisci la finestra",
        u"Górna krawędź → Maksymalizuj okno",
        u"上端 → ウインドウを最大化"
    }},
    {u"guide_snap_center", {
        u"Center → Focus without resizing",
        u"中间 → 聚焦但不调整大小",
        u"Centre → Activer sans redimensionner",
        u"Centro → Activar sin cambiar el tamaño",
        u"Mitte → Fokussieren ohne Größenänderung",
        u"Centro → Attiva senza ridimensionare",
        u"Środek → Aktywuj bez zmiany rozmiaru",
        u"中央 → サイズを変えずにフォーカス"
    }},
    {u"guide_diag_title", {
        u"Diagnostics",
        u"诊断",
        u"Diagnostic",
        u"Diagnóstico",
        u"Diagnose",
        u"Diagnostica",
        u"Diagnostyka",
        u"診断"
    }},
    {u"guide_diag_desc", {
        u"Quorvantis includes a built-in diagnostics tool for troubleshooting. Enable it in Settings → Diagnostics to capture event logs. You can export a diagnostic report as a ZIP file to share with support if needed.",
        u"Quorvantis 内置诊断工具，便于排查问题。在“设置 → 诊断”中启用后即可记录事件日志。如有需要，你可以将诊断报告导出为 ZIP 文件，与支持团队分享。",
        u"Quorvantis intègre un outil de diagnostic pour le dépannage. Activez-le dans Réglages → Diagnostic pour enregistrer les journaux d'événements. Si nécessaire, vous pouvez exporter un rapport de diagnostic au format ZIP pour le transmettre à l'assistance.",
        u"Quorvantis incluye una herramienta de diagnóstico integrada para solucionar problemas. Actívala en Ajustes → Diagnóstico para registrar eventos. Si es necesario, puedes exportar un informe de diagnóstico como archivo ZIP para compartirlo con el soporte técnico.",
        u"Quorvantis enthält ein integriertes Diagnosewerkzeug zur Fehlersuche. Aktiviere es unter Einstellungen → Diagnose, um Ereignisprotokolle aufzuzeichnen. Bei Bedarf kannst du einen Diagnosebericht als ZIP-Datei exportieren und an den Support senden.",
        u"Quorvantis include uno strumento di diagnostica integrato per la risoluzione dei problemi. Attivalo in Impostazioni → Diagnostica per registrare i log degli eventi. Se necessario, puoi esportare un report diagnostico come file ZIP da condividere con l'assistenza.",
        u"Quorvantis ma wbudowane narzędzie diagnostyczne do rozwiązywania problemów. Włącz je w Ustawienia → Diagnostyka, aby rejestrować dzienniki zdarzeń. W razie potrzeby możesz wyeksportować raport diagnostyczny jako plik ZIP i przekazać go pomocy technicznej.",
        u"Quorvantis にはトラブルシューティング用の診断ツールが組み込まれています。「設定 → 診断」で有効にすると、イベントログが記録されます。必要に応じて、診断レポートを ZIP ファイルとして書き出し、サポートと共有できます。"
    }},
    {u"about_sysreq", {
        u"Requires an X11 session with an EWMH window manager",
        u"需要带有 EWMH 窗口管理器的 X11 会话",
        u"Nécessite une session X11 avec un gestionnaire de fenêtres EWMH",
        u"Requiere una sesión X11 con un gestor de ventanas EWMH",
        u"Erfordert eine X11-Sitzung mit einem EWMH-Fenstermanager",
        u"Richiede una sessione X11 con un window manager EWMH",
        u"Wymaga sesji X11 z menedżerem okien zgodnym z EWMH",
        u"EWMH 対応ウインドウマネージャーを使う X11 セッションが必要です"
    }},
    {u"about_support", {
        u"Support",
        u"支持",
        u"Assistance",
        u"Soporte",
        u"Support",
        u"Assistenza",
        u"Wsparcie",
        u"サポート"
    }},
    {u"tab_contact", {
        u"Contact Us",
        u"联系我们",
        u"Nous contacter",
        u"Contacto",
        u"Kontakt",
        u"Contattaci",
        u"Kontakt",
        u"お問い合わせ"
    }},
    {u"contact_title", {
        u"Get in Touch",
        u"与我们联系",
        u"Contactez-nous",
        u"Ponte en contacto con nosotros",
        u"Schreib uns",
        u"Mettiti in contatto con noi",
        u"Skontaktuj się z nami",
        u"お気軽にご連絡ください"
    }},
    {u"contact_subtitle", {
        u"We'd love to hear from you — whether it's a question, bug report, feature idea, or partnership inquiry.",
        u"无论是疑问、错误报告、功能建议还是合作咨询，我们都很乐意听到你的声音。",
        u"Nous serions ravis d'avoir de vos nouvelles — qu'il s'agisse d'une question, d'un rapport de bug, d'une idée de fonctionnalité ou d'une demande de partenariat.",
        u"Nos encantará saber de ti, ya sea una pregunta, un informe de error, una idea para una función o una propuesta de colaboración.",
        u"Wir freuen uns auf deine Nachricht – ob Frage, Fehlerbericht, Funktionsidee oder Partnerschaftsanfrage.",
        u"Ci farebbe piacere sentirti, che si tratti di una domanda, una segnalazione di bug, un'idea per una funzione o una proposta di collaborazione.",
        u"Chętnie poznamy Twoje zdanie — niezależnie od tego, czy chodzi o pytanie, zgłoszenie błędu, pomysł na funkcję, czy propozycję współpracy.",
        u"ご質問、バグ報告、機能のアイデア、提携のご相談など、お気軽にお寄せください。"
    }},
    {u"contact_name", {
        u"Name",
        u"姓名",
        u"Nom",
        u"Nombre",
        u"Name",
        u"Nome",
        u"Imię i nazwisko",
        u"名前"
    }},
    {u"contact_name_placeholder", {
        u"Your name",
        u"你的姓名",
        u"Votre nom",
        u"Tu nombre",
        u"Dein Name",
        u"Il tuo nome",
        u"Twoje imię i nazwisko",
        u"お名前"
    }},
    {u"contact_email", {
        u"Email",
        u"电子邮件",
        u"E-mail",
        u"Correo electrónico",
        u"E-Mail",
        u"Email",
        u"E-mail",
        u"メールアドレス"
    }},
    {u"contact_email_placeholder", {
        u"you@example.com",
        u"you@example.com",
        u"you@example.com",
        u"you@example.com",
        u"you@example.com",
        u"you@example.com",
        u"you@example.com",
        u"you@example.com"
    }},
    {u"contact_category", {
        u"Category",
        u"类别",
        u"Catégorie",
        u"Categoría",
        u"Kategorie",
        u"Categoria",
        u"Kategoria",
        u"カテゴリ"
    }},
    {u"contact_cat_question", {
        u"Question",
        u"疑问",
        u"Question",
        u"Pregunta",
        u"Frage",
        u"Domanda",
        u"Pytanie",
        u"質問"
    }},
    {u"contact_cat_bug", {
        u"Bug Report",
        u"错误报告",
        u"Rapport de bug",
        u"Informe de error",
        u"Fehlerbericht",
        u"Segnalazione di bug",
        u"Zgłoszenie błędu",
        u"バグ報告"
    }},
    {u"contact_cat_idea", {
        u"Idea",
        u"想法",
        u"Idée",
        u"Idea",
        u"Idee",
        u"Idea",
        u"Pomysł",
        u"アイデア"
    }},
    {u"contact_cat_feedback", {
        u"Feedback",
        u"反馈",
        u"Commentaires",
        u"Comentarios",
        u"Feedback",
        u"Feedback",
        u"Opinia",
        u"フィードバック"
    }},
    {u"contact_cat_support", {
        u"Support",
        u"技术支持",
        u"Assistance",
        u"Soporte",
        u"Support",
        u"Assistenza",
        u"Wsparcie",
        u"サポート"
    }},
    {u"contact_cat_partnership", {
        u"Partnership",
        u"商务合作",
        u"Partenariat",
        u"Colaboración",
        u"Partnerschaft",
        u"Collaborazione",
        u"Współpraca",
        u"提携"
    }},
    {u"contact_message", {
        u"Message",
        u"留言",
        u"Message",
        u"Mensaje",
        u"Nachricht",
        u"Messaggio",
        u"Wiadomość",
        u"メッセージ"
    }},
    {u"contact_message_placeholder", {
        u"Describe your question, issue, or idea in detail…",
        u"请详细描述你的疑问、问题或想法…",
        u"Décrivez en détail votre question, votre problème ou votre idée…",
        u"Describe con detalle tu pregunta, problema o idea…",
        u"Beschreibe deine Frage, dein Problem oder deine Idee im Detail …",
        u"Descrivi in dettaglio la tua domanda, il problema o l'idea…",
        u"Opisz szczegółowo swoje pytanie, problem lub pomysł…",
        u"質問、問題、アイデアの内容を詳しくご記入ください…"
    }},
    {u"contact_attachment", {
        u"Attachment",
        u"附件",
        u"Pièce jointe",
        u"Archivo adjunto",
        u"Anhang",
        u"Allegato",
        u"Załącznik",
        u"添付ファイル"
    }},
    {u"contact_attach_btn", {
        u"Choose File…",
        u"选择文件…",
        u"Choisir un fichier…",
        u"Elegir archivo…",
        u"Datei auswählen …",
        u"Scegli file…",
        u"Wybierz plik…",
        u"ファイルを選択…"
    }},
    {u"contact_no_file", {
        u"No file selected",
        u"未选择文件",
        u"Aucun fichier sélectionné",
        u"Ningún archivo seleccionado",
        u"Keine Datei ausgewählt",
        u"Nessun file selezionato",
        u"Nie wybrano pliku",
        u"ファイルが選択されていません"
    }},
    {u"contact_remove_file", {
        u"Remove",
        u"移除",
        u"Supprimer",
        u"Eliminar",
        u"Entfernen",
        u"Rimuovi",
        u"Usuń",
        u"削除"
    }},
    {u"contact_send", {
        u"Send Message",
        u"发送留言",
        u"Envoyer le message",
        u"Enviar mensaje",
        u"Nachricht senden",
        u"Invia messaggio",
        u"Wyślij wiadomość",
        u"メッセージを送信"
    }},
    {u"contact_validation_name", {
        u"Please enter your name.",
        u"请输入你的姓名。",
        u"Veuillez saisir votre nom.",
        u"Introduce tu nombre.",
        u"Bitte gib deinen Namen ein.",
        u"Inserisci il tuo nome.",
        u"Wpisz swoje imię i nazwisko.",
        u"お名前を入力してください。"
    }},
    {u"contact_validation_email", {
        u"Please enter your email.",
        u"请输入你的电子邮件地址。",
        u"Veuillez saisir votre adresse e-mail.",
        u"Introduce tu correo electrónico.",
        u"Bitte gib deine E-Mail-Adresse ein.",
        u"Inserisci il tuo indirizzo email.",
        u"Wpisz swój adres e-mail.",
        u"メールアドレスを入力してください。"
    }},
    {u"contact_validation_message", {
        u"Please enter a message.",
        u"请输入留言内容。",
        u"Veuillez saisir un message.",
        u"Escribe un mensaje.",
        u"Bitte gib eine Nachricht ein.",
        u"Inserisci un messaggio.",
        u"Wpisz wiadomość.",
        u"メッセージを入力してください。"
    }},
    {u"contact_sending", {
        u"Opening mail client…",
        u"正在打开邮件应用…",
        u"Ouverture de l'app de messagerie…",
        u"Abriendo la app de correo…",
        u"Mail-App wird geöffnet …",
        u"Apertura dell'app di posta…",
        u"Otwieranie aplikacji pocztowej…",
        u"メールアプリを開いています…"
    }},
    {u"contact_mail_note", {
        u"Your default mail app will open with the message pre-filled. If you selected an attachment, please add it manually in your mail app.",
        u"你的默认邮件应用将会打开，并预先填好留言内容。如果你选择了附件，请在邮件应用中手动添加。",
        u"Votre app de messagerie par défaut va s'ouvrir avec le message prérempli. Si vous avez sélectionné une pièce jointe, ajoutez-la manuellement dans votre app de messagerie.",
        u"Se abrirá tu app de correo predeterminada con el mensaje ya redactado. Si has seleccionado un archivo adjunto, añádelo manualmente en tu app de correo.",
        u"Deine Standard-Mail-App wird mit der vorausgefüllten Nachricht geöffnet. Falls du einen Anhang ausgewählt hast, füge ihn bitte manuell in der Mail-App hinzu.",
        u"Si aprirà la tua app di posta predefinita con il messaggio già compilato. Se hai selezionato un allegato, aggiungilo manualmente nell'app di posta.",
        u"Otworzy się domyślna aplikacja pocztowa z wypełnioną wiadomością. Jeśli wybrano załącznik, dodaj go ręcznie w aplikacji pocztowej.",
        u"デフォルトのメールアプリが開き、メッセージが入力された状態になります。添付ファイルを選択した場合は、メールアプリで手動で追加してください。"
    }},
    {u"edge_popup_clipboard", {
        u"Clipboard",
        u"剪贴板",
        u"Presse-papiers",
        u"Portapapeles",
        u"Zwischenablage",
        u"Appunti",
        u"Schowek",
        u"クリップボード"
    }},
    {u"edge_popup_shelf", {
        u"Shelf",
        u"文件架",
        u"Étagère",
        u"Estante",
        u"Dateiregal",
        u"Ripiano",
        u"Półka",
        u"シェルフ"
    }},
    {u"edge_popup_no_history", {
        u"No clipboard history",
        u"没有剪贴板历史",
        u"Aucun historique du presse-papiers",
        u"Sin historial del portapapeles",
        u"Kein Verlauf der Zwischenablage",
        u"Nessuna cronologia degli appunti",
        u"Brak historii schowka",
        u"クリップボード履歴はありません"
    }},
    {u"edge_popup_drop_files", {
        u"Drag files here",
        u"将文件拖到这里",
        u"Déposez des fichiers ici",
        u"Arrastra archivos aquí",
        u"Dateien hierher ziehen",
        u"Trascina qui i file",
        u"Przeciągnij tu pliki",
        u"ここにファイルをドラッグ"
    }},
    {u"reveal_failed", {
        u"No file manager could show this file.",
        u"没有可以显示此文件的文件管理器。",
        u"Aucun gestionnaire de fichiers n'a pu afficher ce fichier.",
        u"Ningún gestor de archivos ha podido mostrar este archivo.",
        u"Kein Dateimanager konnte diese Datei anzeigen.",
        u"Nessun file manager ha potuto mostrare questo file.",
        u"Żaden menedżer plików nie mógł pokazać tego pliku.",
        u"このファイルを表示できるファイルマネージャーがありません。"
    }},
    {u"preview_image_title", {
        u"Image Preview",
        u"图片预览",
        u"Aperçu de l'image",
        u"Vista previa de imagen",
        u"Bildvorschau",
        u"Anteprima immagine",
        u"Podgląd obrazu",
        u"画像プレビュー"
    }},
    {u"preview_text_title", {
        u"Text Preview",
        u"文本预览",
        u"Aperçu du texte",
        u"Vista previa de texto",
        u"Textvorschau",
        u"Anteprima testo",
        u"Podgląd tekstu",
        u"テキストプレビュー"
    }},
    {u"preview_char_count", {
        u"%lld chars",
        u"%lld 个字符",
        u"%lld caractères",
        u"%lld caracteres",
        u"%lld Zeichen",
        u"%lld caratteri",
        u"%lld znaków",
        u"%lld 文字"
    }},
    // A live age, "3 min, 4 sec": the short units and the joining of two of them in each language.
    {u"age_seconds", {
        u"%lld sec",
        u"%lld秒",
        u"%lld s",
        u"%lld s",
        u"%lld Sek.",
        u"%lld s",
        u"%lld sek.",
        u"%lld 秒"
    }},
    {u"age_minutes", {
        u"%lld min",
        u"%lld分钟",
        u"%lld min",
        u"%lld min",
        u"%lld Min.",
        u"%lld min",
        u"%lld min",
        u"%lld 分"
    }},
    {u"age_hours", {
        u"%lld hr",
        u"%lld小时",
        u"%lld h",
        u"%lld h",
        u"%lld Std.",
        u"%lld h",
        u"%lld godz.",
        u"%lld 時間"
    }},
    {u"age_day", {
        u"%lld day",
        u"%lld天",
        u"%lld j",
        u"%lld d",
        u"%lld Tg.",
        u"%lld giorno",
        u"%lld dzień",
        u"%lld 日"
    }},
    {u"age_days", {
        u"%lld days",
        u"%lld天",
        u"%lld j",
        u"%lld d",
        u"%lld Tg.",
        u"%lld giorni",
        u"%lld dni",
        u"%lld 日"
    }},
    {u"age_pair", {
        u"%1$@, %2$@",
        u"%1$@%2$@",
        u"%1$@ et %2$@",
        u"%1$@ y %2$@",
        u"%1$@, %2$@",
        u"%1$@ e %2$@",
        u"%1$@ i %2$@",
        u"%1$@ %2$@"
    }},
    {u"shelf_menu_open", {
        u"Open",
        u"打开",
        u"Ouvrir",
        u"Abrir",
        u"Öffnen",
        u"Apri",
        u"Otwórz",
        u"開く"
    }},
    {u"shelf_menu_show_in_file_manager", {
        u"Show in File Manager",
        u"在文件管理器中显示",
        u"Afficher dans le gestionnaire de fichiers",
        u"Mostrar en el gestor de archivos",
        u"Im Dateimanager zeigen",
        u"Mostra nel file manager",
        u"Pokaż w menedżerze plików",
        u"ファイルマネージャで表示"
    }},
    {u"shelf_menu_quick_look", {
        u"Quick Look",
        u"快速查看",
        u"Aperçu rapide",
        u"Vista rápida",
        u"Schnellansicht",
        u"Anteprima rapida",
        u"Szybki podgląd",
        u"クイックルック"
    }},
    {u"shelf_menu_pin", {
        u"Pin",
        u"固定",
        u"Épingler",
        u"Fijar",
        u"Anheften",
        u"Fissa",
        u"Przypnij",
        u"ピン留め"
    }},
    {u"shelf_menu_unpin", {
        u"Unpin",
        u"取消固定",
        u"Désépingler",
        u"Dejar de fijar",
        u"Loslösen",
        u"Rimuovi fissaggio",
        u"Odepnij",
        u"ピン留めを外す"
    }},
    {u"shelf_menu_delete", {
        u"Delete",
        u"删除",
        u"Supprimer",
        u"Eliminar",
        u"Löschen",
        u"Elimina",
        u"Usuń",
        u"削除"
    }},
    {u"clipboard_image_title", {
        u"Image • %1×%2",
        u"图片 • %1×%2",
        u"Image • %1×%2",
        u"Imagen • %1×%2",
        u"Bild • %1×%2",
        u"Immagine • %1×%2",
        u"Obraz • %1×%2",
        u"画像 • %1×%2"
    }},
};

// The status menu and the Dock menu.
const LocalizationRow menuRows[] = {
    {u"menu_preferences", {
        u"Preferences...",
        u"偏好设置...",
        u"Préférences...",
        u"Preferencias...",
        u"Einstellungen …",
        u"Preferenze…",
        u"Preferencje…",
        u"環境設定…"
    }},
    {u"menu_show_all_windows", {
        u"Show All Windows (Alt+Tab)",
        u"显示所有窗口 (Alt+Tab)",
        u"Afficher toutes les fenêtres (Alt+Tab)",
        u"Mostrar todas las ventanas (Alt+Tab)",
        u"Alle Fenster anzeigen (Alt+Tab)",
        u"Mostra tutte le finestre (Alt+Tab)",
        u"Pokaż wszystkie okna (Alt+Tab)",
        u"すべてのウインドウを表示 (Alt+Tab)"
    }},
    {u"menu_restart", {
        u"Restart Quorvantis",
        u"重启 Quorvantis",
        u"Redémarrer",
        u"Reiniciar",
        u"Quorvantis neu starten",
        u"Riavvia Quorvantis",
        u"Uruchom ponownie Quorvantis",
        u"Quorvantis を再起動"
    }},
    {u"menu_quit", {
        u"Quit",
        u"退出",
        u"Quitter",
        u"Salir",
        u"Beenden",
        u"Esci",
        u"Zakończ",
        u"終了"
    }},
};
// clang-format on

} // namespace

std::span<const LocalizationRow> interfaceTextRows()
{
    return interfaceRows;
}

std::span<const LocalizationRow> menuTextRows()
{
    return menuRows;
}

} // namespace qv
